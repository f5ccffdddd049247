#include "cli/cli_options.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

// What the reader made of the words: the ask, its command and a value, or the usage error.
QString readOf(const QStringList& words, const char* option) {
    const Result<CliRequest> read = ReadCliArguments(QStringList{"posflash-cli"} + words, "zh");
    if (!read)
        return QLatin1String(read.error().is(ErrorDomain::Input, kUsageError) ? "usage: " : "?: ") +
               read.error().text;
    if (read->ask == CliRequest::Ask::Help)
        return QStringLiteral("help ") + read->helpTopic;
    if (read->ask == CliRequest::Ask::Version)
        return QStringLiteral("version");
    return QStringLiteral("run ") + read->args.positionalArguments().join(' ') +
           (option ? QStringLiteral(" --%1=").arg(option) + read->args.values(option).join(',')
                   : QString());
}

TEST(CliOptions, ReadsTheCommandAndItsValuesOrSaysWhatIsWrong) {
    // clang-format off
    const struct { QStringList words; const char* option; const char* read; } cases[] = {
        {{"download", "--port", "COM3", "fw.bin"}, "port", "run download fw.bin --port=COM3"},
        {{"download", "--port=COM3", "--port", "COM4", "fw.bin"}, "port", "run download fw.bin --port=COM3,COM4"},
        {{"download", "fw.bin"}, "lang", "run download fw.bin --lang=zh"},  // the locale's
        {{"download", "fw.bin"}, "retries", "run download fw.bin --retries=0"},
        {{"history", "--", "--json"}, nullptr, "run history --json"},
        {{"help"}, nullptr, "help "},
        {{"help", "history"}, nullptr, "help history"},
        {{"records", "--help"}, nullptr, "help records"},
        {{"-v"}, nullptr, "version"},
        {{}, nullptr, "usage: "},
        {{"help", "nosuch"}, nullptr, "usage: unknown command nosuch"},
        {{"help", "list", "check"}, nullptr, "usage: help takes one COMMAND"},
        {{"download", "--prot", "COM3"}, nullptr, "usage: Unknown option 'prot'."},
        {{"download", "--records-batch", "5"}, "records-batch", "run download --records-batch=5"},
        {{"download", "--lang", "fr"}, nullptr, "usage: --lang is en or zh"},
        {{"download", "--color", "sometimes"}, nullptr, "usage: --color is auto, always or never"},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(readOf(c.words, c.option), c.read) << c.words.join(' ').toStdString();
}

} // namespace
} // namespace posflash
