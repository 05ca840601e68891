#pragma once

#include <QtGlobal>
#include <functional>

/// The one vocabulary of long work, in every part of the register: a progress callback gets the
/// work done so far and the whole of it (0 when not known yet) and returns false to ask the work
/// to stop; work that stops on that request throws Cancelled, having kept nothing of itself.
using ProgressFn = std::function<bool(qint64 done, qint64 total)>;

/// Thrown by long work whose progress callback asked it to stop.
struct Cancelled {};
