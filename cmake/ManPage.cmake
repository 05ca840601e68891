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
string(FIND "${overview}" "\n\n" end)
string(SUBSTRING "${overview}" 0 ${end} usage)
string(REGEX REPLACE "^Usage: *" "" usage "${usage}")
string(REGEX REPLACE "\n +" "\n" usage "${usage}")
string(REGEX MATCHALL "\nquenvale-cli [a-z][a-z0-9-]*" verb_lines "${usage}")
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

set(page [=[.\" Generated at build time from the help texts of quenvale-cli; do not edit.
.TH QUENVALE\-CLI 1 "" "quenvale @VERSION@" "User Commands"
.SH NAME
quenvale\-cli \- work on the Quenvale community register without a window
.SH SYNOPSIS
.nf
@usage@
.fi
.SH DESCRIPTION
.B quenvale\-cli
is the headless companion of the desktop program
.BR quenvale (1).
It works on the same register (the same database file, found the same way) and
needs no display for its work.
It prints nothing but its result unless asked; errors are one line on standard
error.
.PP
Each verb is described below, as
.B quenvale\-cli
.I VERB
.B \-\-help
prints it.
.SH VERBS
]=])
string(CONFIGURE "${page}" page @ONLY)

foreach(verb IN LISTS verbs)
  run_help(help ${verb} --help)
  roff_escape(help "${help}")
  string(REPLACE "-" "\\-" verb_roff "${verb}")
  string(APPEND page ".SS ${verb_roff}\n.nf\n${help}\n.fi\n")
endforeach()

string(APPEND page [=[.SH OPTIONS
.TP
.B \-\-help
Print the list of verbs and exit.
.TP
.B \-\-version
Print the program's version and exit.
.SH EXIT STATUS
.TP
.B 0
The work was done.
.TP
.B 1
It failed; one line on standard error says why.
.TP
.B 2
The command line was wrong (an unknown verb or option).
.SH ENVIRONMENT
.TP
.BR DISPLAY ", " WAYLAND_DISPLAY ", " QT_QPA_PLATFORM
When none is set, verbs that draw (such as the report) render offscreen.
.SH FILES
.TP
.I ~/.local/share/Quenvale/Data/MyDB.db
The user's register when the program is installed (folder and file readable by their
owner only).
A copy run from a build folder uses
.I Data/MyDB.db
beside the executable when that folder can be written.
.TP
.I ~/.config/Quenvale/HKEY_LOCAL_MACHINE.reg
The data\-source registration, which names the database file in use.
.SH SEE ALSO
.BR quenvale (1)
]=])

file(WRITE "${OUT}.tmp" "${page}")
file(RENAME "${OUT}.tmp" "${OUT}")
