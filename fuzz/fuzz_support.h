#pragma once

// Shared by the fuzz targets: a failed invariant aborts, so libFuzzer keeps the input.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace posflash::fuzz {

[[noreturn]] inline void failed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? void() : ::posflash::fuzz::failed(#condition, __FILE__, __LINE__))

inline QByteArray toQByteArray(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

// One scratch folder per fuzzing process, removed when it exits.
inline QString scratchPath(const char* fileName) {
    static const QTemporaryDir dir;
    if (!dir.isValid())
        failed("a scratch folder can be made", __FILE__, __LINE__);
    return dir.filePath(QString::fromLatin1(fileName));
}

inline void writeWhole(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        failed("the scratch file can be written", __FILE__, __LINE__);
}

inline QByteArray readWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        failed("the scratch file can be read", __FILE__, __LINE__);
    return file.readAll();
}

} // namespace posflash::fuzz
