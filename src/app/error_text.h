#pragma once
// Turns any caught exception into the text shown in `warning` or `status`.
#include <QString>
#include <exception>

namespace sayloom {

QString warningText(const std::exception& error);

// For catch (...) blocks: the text of the exception in flight.
QString currentExceptionText();

}  // namespace sayloom
