#pragma once

#include <QDialog>
#include <functional>

/// Running a form for one use: a fresh instance with the main window as its parent, shown
/// modally, deleted when it closes — also when it raised an error. Errors are reported in the
/// standard error box and the caller's window stays usable.
namespace formrunner {

/// Makes a new instance of a form with the given parent.
using Factory = std::function<QDialog*(QWidget* parent)>;

template <class Form>
Factory factoryOf() {
    return [](QWidget* parent) -> QDialog* { return new Form(parent); };
}

/// Creates the form with `make`, runs it modally and deletes it. An error thrown while the form
/// is created or while it runs is reported with fail() on `parent`.
void run(QWidget* parent, const Factory& make);

/// Runs `work`, reporting an error it throws with fail() on `parent`.
void guarded(QWidget* parent, const std::function<void()>& work);

/// Reports the exception being handled (call only inside a catch block).
void reportCurrentException(QWidget* parent);

}  // namespace formrunner
