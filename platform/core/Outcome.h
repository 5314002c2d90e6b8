// What an operation the user may have to hear about came to: done, or the reason it failed in
// the words the user is shown. The one result of writing files, printing, the report and the
// settings; the USB layer below keeps its 32-bit statuses.
#pragma once

#include <QString>

#include <utility>

namespace zt40 {

class [[nodiscard]] Outcome {
public:
    // Done.
    Outcome() = default;
    // Failed; `reason` is shown to the user as it is.
    static Outcome failed(QString reason) {
        Outcome outcome;
        outcome.failed_ = true;
        outcome.reason_ = std::move(reason);
        return outcome;
    }

    bool ok() const { return !failed_; }
    // Empty when done.
    const QString& reason() const { return reason_; }

private:
    bool failed_ = false;
    QString reason_;
};

} // namespace zt40
