// Addresses typed by a user or restored from the settings file, and firmware paths whose
// bare name goes to the printer.

#include "fuzz_support.h"

#include "protocol/address_text.h"

using namespace posflash;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = QString::fromUtf8(bytes);

    if (const auto ip = ParseIpv4Text(text)) {
        // Written back in dotted form, the address reads the same.
        const QString dotted = BytesToDottedIp(ip->data(), 4);
        FUZZ_CHECK(ParseIpv4Text(dotted) == ip);
        FUZZ_CHECK(text.size() <= 15 && text.count(QLatin1Char('.')) == 3);
    }
    if (const auto mac = ParseMacText(text)) {
        QString canonical;
        for (const std::uint8_t b : *mac)
            canonical += QStringLiteral("%1-").arg(b, 2, 16, QLatin1Char('0')).toUpper();
        canonical.chop(1);
        FUZZ_CHECK(text.toUpper() == canonical);
    }

    // The bare name: what follows the last slash or backslash, never a folder.
    const QByteArray name = BootFileNameOf(text);
    FUZZ_CHECK(!name.contains('/') && !name.contains('\\'));
    FUZZ_CHECK(text.toLocal8Bit().endsWith(name));
    return 0;
}
