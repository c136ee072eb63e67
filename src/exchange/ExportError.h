#pragma once
// Errors of the export files. ExportError carries the file's own error text;
// SheetLimitError says that the data do not fit a workbook, before anything is written.
#include <QString>
#include <stdexcept>

namespace exchange {

class ExportError : public std::runtime_error {
public:
    explicit ExportError(const QString &message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString &message() const { return message_; }

private:
    QString message_;
};

class SheetLimitError : public ExportError {
public:
    using ExportError::ExportError;
};

} // namespace exchange
