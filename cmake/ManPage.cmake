# Writes the manual page quenvale-cli.1 from the built program's own help texts, so that every
# verb in its table is documented without a second copy of the texts.
#
#   cmake -DCLI=path/to/quenvale-cli -DVERSION=x.y.z -DOUT=quenvale-cli.1 -P ManPage.cmake
#
# The page holds `quenvale-cli --help` as its synopsis and `quenvale-cli VERB --help` for every
# verb that synopsis names.

foreach(var CLI VERSION OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ManPage.cmake needs -D${var}=...")
  endif()
endforeach()

# A sanitizer build's leak report at exit is no concern of the manual page.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")

function(run_help out_var)
  execute_process(COMMAND "${CLI}" ${ARGN}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "quenvale-cli ${ARGN} failed (${rc}): ${err}")
  endif()
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# Plain text as roff in a no-fill block: backslashes and dashes escaped, and no line may start
# with a control character.
function(roff_escape out_var text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(REGEX REPLACE "\n+$" "" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

run_help(overview --help)

# The usage lines (up to the first blank line) are the synopsis; their second words are the verbs.
# A line that goes on under its verb keeps its indentation past the six columns of "用法：".
string(FIND "${overview}" "\n\n" end)
string(SUBSTRING "${overview}" 0 ${end} usage)
string(REGEX REPLACE "^用法：" "" usage "${usage}")
string(REPLACE "\n      " "\n" usage "${usage}")
string(REGEX MATCHALL "\nquenvale-cli [a-z][a-z0-9-]*" verb_lines "\n${usage}")
set(verbs "")
foreach(line IN LISTS verb_lines)
  string(REGEX REPLACE "^\nquenvale-cli " "" verb "${line}")
  list(APPEND verbs "${verb}")
endforeach()
list(REMOVE_DUPLICATES verbs)
if(NOT verbs)
  message(FATAL_ERROR "quenvale-cli --help names no verbs:\n${overview}")
endif()
roff_escape(usage "${usage}")

# Chinese, as the program speaks; the coding line lets man pass the page to groff as UTF-8.
# Running text is set ragged-right in short lines: groff breaks a line only where the source
# has a space, and would stretch those spaces to justify Chinese text.
set(page [=[.\" -*- coding: UTF-8 -*-
.\" Generated at build time from the help texts of quenvale-cli; do not edit.
.TH QUENVALE\-CLI 1 "" "quenvale @VERSION@" "用户命令"
.ad l
.SH 名称
quenvale\-cli \- 不开窗口处理 Quenvale 社区登记册
.SH 概述
.nf
@usage@
.fi
.SH 描述
.B quenvale\-cli
是桌面程序
.BR quenvale (1)
的命令行伙伴，供脚本和定时任务使用。
它处理同一个登记册（以同样的方式找到同一个数据库文件），
工作时不需要显示器。
除了结果，它不输出别的；
出错时在标准错误输出上用一行说明原因。
在终端上，较长的工作显示进度，按 Ctrl+C 取消，
不留下写了一半的文件。
.PP
选项的值可以写作
.B \-\-out
.IR FILE ，
也可以写作
.BI \-\-out= FILE\fR。
下面逐个说明各命令，与
.B quenvale\-cli
.I 命令
.B \-\-help
的输出相同。
.SH 命令
]=])
string(CONFIGURE "${page}" page @ONLY)

foreach(verb IN LISTS verbs)
  run_help(help ${verb} --help)
  roff_escape(help "${help}")
  string(REPLACE "-" "\\-" verb_roff "${verb}")
  string(APPEND page ".SS ${verb_roff}\n.nf\n${help}\n.fi\n")
endforeach()

string(APPEND page [=[.SH 选项
.TP
.BR \-h ", " \-\-help
列出全部命令后退出；写在命令后面时，说明这个命令。
.TP
.B \-\-version
输出程序的版本后退出。
.SH 退出状态
.TP
.B 0
完成了。
.TP
.B 1
失败了；标准错误输出上有一行说明原因。
.B check
发现问题时也是 1。
.TP
.B 2
命令行有误（不认识的命令或选项、缺少的值或参数），
标准错误输出上有一行说明。
.SH 环境
.TP
.BR DISPLAY ", " WAYLAND_DISPLAY
.B report specialty \-\-preview
需要其中之一。
.TP
.B QT_QPA_PLATFORM
没有设置时，
.B report specialty \-\-pdf
不使用显示器（offscreen）。
.SH 文件
.TP
.I ~/.local/share/Quenvale/Data/MyDB.db
安装后的程序为每个用户保存的登记册
（文件夹和文件只有本人可读）。
在编译目录中运行的程序，在可写时使用它旁边的
.IR Data/MyDB.db 。
.TP
.I ~/.config/Quenvale/HKEY_LOCAL_MACHINE.reg
数据源登记，写明正在使用的数据库文件。
.TP
.I /usr/libexec/quenvale/quenvale\-report\-preview
打开报表预览窗口的程序，由
.B report specialty \-\-preview
启动。
.SH 参见
.BR quenvale (1)
]=])

file(WRITE "${OUT}.tmp" "${page}")
file(RENAME "${OUT}.tmp" "${OUT}")
