#pragma once

/// Maps the Windows faces the forms name (宋体/SimSun, 楷体_GB2312/KaiTi, 华文行楷, Arial) to
/// installed faces, and makes "宋体" 9 pt the application font.
namespace fonts {
void install();
}
