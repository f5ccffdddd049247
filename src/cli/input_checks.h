#pragma once

#include "base/error.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace posflash {

// The FILE of the command line, opened once without waiting (a FIFO or a device never holds
// the program up) and checked to be a regular file. Qt decodes the arguments as UTF-8 and
// replaces what is not, so a name that is not UTF-8 is taken from the raw arguments instead;
// the engine then reaches the file through this process's descriptor of it.
class ImageArgument {
public:
    // parsed: the argument as Qt decoded it; rawArguments: argv as the program received it.
    static Result<ImageArgument> open(const QString& parsed,
                                      const std::vector<QByteArray>& rawArguments);
    ImageArgument(ImageArgument&& other) noexcept;
    ImageArgument& operator=(ImageArgument&&) = delete;
    ImageArgument(const ImageArgument&) = delete;
    ImageArgument& operator=(const ImageArgument&) = delete;
    ~ImageArgument();

    // The name's bytes as given, or an error when several raw arguments decode alike.
    static Result<QByteArray> nameOf(const QString& parsed,
                                     const std::vector<QByteArray>& rawArguments);

    // The path the engine opens: the name itself, or /proc/self/fd/N for a name that is not
    // UTF-8 (that descriptor stays open for the whole run).
    QString path() const { return path_; }
    // The name as given, as bytes (what the history records).
    const QByteArray& name() const { return name_; }

private:
    ImageArgument(QString path, QByteArray name, int keptFd)
        : path_(std::move(path)), name_(std::move(name)), keptFd_(keptFd) {}

    QString path_;
    QByteArray name_;
    int keptFd_ = -1;
};

} // namespace posflash
