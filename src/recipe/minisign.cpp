#include "recipe/minisign.h"

#include "recipe/recipe.h"

#include <QList>

#include <sodium.h>

#include <cstdint>
#include <optional>

namespace posflash {

namespace {

constexpr qsizetype kAlgorithmBytes = 2;
constexpr qsizetype kKeyIdBytes = 8;
constexpr qsizetype kPublicKeyFileBytes =
    kAlgorithmBytes + kKeyIdBytes + crypto_sign_PUBLICKEYBYTES;
constexpr qsizetype kSignatureLineBytes = kAlgorithmBytes + kKeyIdBytes + crypto_sign_BYTES;
// keynum_sk: key id, secret key, and BLAKE2b-256 of algorithm, key id and secret key.
constexpr qsizetype kKeynumSkBytes = kKeyIdBytes + crypto_sign_SECRETKEYBYTES + 32;
constexpr qsizetype kSaltBytes = crypto_pwhash_scryptsalsa208sha256_SALTBYTES;
constexpr qsizetype kSecretKeyFileBytes = 3 * kAlgorithmBytes + kSaltBytes + 8 + 8 + kKeynumSkBytes;
// Larger files are no minisign files; the limit keeps a hostile one from being read whole.
constexpr qsizetype kMaxFileBytes = 16 * 1024;
constexpr qsizetype kMaxTrustedCommentBytes = 8192;
// A key file may ask for any scrypt cost; beyond minisign's own "sensitive" limits it is no key
// of minisign's, and would only tie the station up.
constexpr unsigned long long kMaxKdfMemory = 1ULL << 31;
constexpr unsigned long long kMaxKdfOps = 1ULL << 32;

const QByteArray kUntrustedPrefix = QByteArrayLiteral("untrusted comment: ");
const QByteArray kTrustedPrefix = QByteArrayLiteral("trusted comment: ");

Error Fault(RecipeError code, const QString& text) {
    return {static_cast<int>(code), text, {}, ErrorDomain::Recipe};
}

bool SodiumReady() {
    // Idempotent and thread-safe; fails only when the system has no randomness source.
    return sodium_init() >= 0;
}

const unsigned char* Bytes(const QByteArray& b) {
    return reinterpret_cast<const unsigned char*>(b.constData());
}

unsigned char* Bytes(QByteArray& b) {
    return reinterpret_cast<unsigned char*>(b.data());
}

// The file's lines without their line ends; a file of more lines than expected is refused
// by the callers, not cut.
QList<QByteArray> Lines(const QByteArray& file) {
    QList<QByteArray> lines = file.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

std::optional<QByteArray> Base64(const QByteArray& line, qsizetype size) {
    const auto decoded =
        QByteArray::fromBase64Encoding(line.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size)
        return std::nullopt;
    return decoded.decoded;
}

std::uint64_t LittleEndian64(const QByteArray& bytes, qsizetype at) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

QByteArray Blake2b(const QByteArray& data, size_t size) {
    QByteArray hash(static_cast<qsizetype>(size), '\0');
    crypto_generichash(Bytes(hash), size, Bytes(data), static_cast<unsigned long long>(data.size()),
                       nullptr, 0);
    return hash;
}

QByteArray Detached(const QByteArray& message, const QByteArray& secretKey) {
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(Bytes(signature), nullptr, Bytes(message),
                         static_cast<unsigned long long>(message.size()), Bytes(secretKey));
    return signature;
}

bool VerifyDetached(const QByteArray& signature, const QByteArray& message,
                    const QByteArray& publicKey) {
    return crypto_sign_verify_detached(Bytes(signature), Bytes(message),
                                       static_cast<unsigned long long>(message.size()),
                                       Bytes(publicKey)) == 0;
}

struct SecretKeyFile {
    bool encrypted = false;
    QByteArray salt;
    std::uint64_t ops = 0;
    std::uint64_t memory = 0;
    QByteArray keynumSk;
};

Result<SecretKeyFile> ReadSecretKeyFile(const QByteArray& file) {
    const QList<QByteArray> lines = Lines(file.left(kMaxFileBytes + 1));
    const auto bad = [](const QString& why) {
        return Fault(RecipeError::BadSecretKey,
                     QStringLiteral("this is not a minisign secret key: %1").arg(why));
    };
    if (file.size() > kMaxFileBytes || lines.size() != 2 || !lines[0].startsWith(kUntrustedPrefix))
        return bad(QStringLiteral("it must be a comment line and one line of base64"));
    const std::optional<QByteArray> raw = Base64(lines[1], kSecretKeyFileBytes);
    if (!raw)
        return bad(QStringLiteral("the key line is not a key's base64"));
    const QByteArray kdf = raw->mid(2, 2);
    if (raw->left(2) != "Ed" || raw->mid(4, 2) != "B2" ||
        (kdf != "Sc" && kdf != QByteArray(2, '\0')))
        return bad(QStringLiteral("an algorithm other than Ed25519 with scrypt and BLAKE2b"));
    SecretKeyFile key;
    key.encrypted = kdf == "Sc";
    key.salt = raw->mid(6, kSaltBytes);
    key.ops = LittleEndian64(*raw, 6 + kSaltBytes);
    key.memory = LittleEndian64(*raw, 6 + kSaltBytes + 8);
    key.keynumSk = raw->mid(6 + kSaltBytes + 16);
    return key;
}

} // namespace

QString MinisignKeyIdText(const QByteArray& keyId) {
    if (keyId.size() != kKeyIdBytes)
        return QString::fromLatin1(keyId.toHex()).toUpper();
    // minisign prints the number without leading zeros: 3D3803C38D578B9, not 03D3….
    return QString::number(LittleEndian64(keyId, 0), 16).toUpper();
}

Result<MinisignPublicKey> ParseMinisignPublicKey(const QByteArray& file) {
    const QList<QByteArray> lines = Lines(file.left(kMaxFileBytes + 1));
    const bool commented = !lines.isEmpty() && lines[0].startsWith(kUntrustedPrefix);
    const auto bad = [](const QString& why) {
        return Fault(RecipeError::BadPublicKey,
                     QStringLiteral("this is not a minisign public key: %1").arg(why));
    };
    if (file.size() > kMaxFileBytes || lines.size() != (commented ? 2 : 1))
        return bad(QStringLiteral("it must be a comment line and one line of base64"));
    const std::optional<QByteArray> raw = Base64(lines.last(), kPublicKeyFileBytes);
    if (!raw)
        return bad(QStringLiteral("the key line is not a key's base64"));
    if (raw->left(2) != "Ed")
        return bad(QStringLiteral("an algorithm other than Ed25519"));
    return MinisignPublicKey{raw->mid(2, kKeyIdBytes), raw->mid(2 + kKeyIdBytes), {}};
}

Result<MinisignSignature> ParseMinisignSignature(const QByteArray& file) {
    const QList<QByteArray> lines = Lines(file.left(kMaxFileBytes + 1));
    const auto bad = [](const QString& why) {
        return Fault(RecipeError::BadSignatureFile,
                     QStringLiteral("this is not a minisign signature: %1").arg(why));
    };
    if (file.size() > kMaxFileBytes || lines.size() != 4 ||
        !lines[0].startsWith(kUntrustedPrefix) || !lines[2].startsWith(kTrustedPrefix))
        return bad(QStringLiteral("it must be an untrusted comment, the signature, a trusted "
                                  "comment and the comment's signature, one line each"));
    const std::optional<QByteArray> raw = Base64(lines[1], kSignatureLineBytes);
    if (!raw)
        return bad(QStringLiteral("the signature line is not a signature's base64"));
    MinisignSignature signature;
    if (raw->left(2) == "ED")
        signature.prehashed = true;
    else if (raw->left(2) == "Ed")
        signature.prehashed = false;
    else
        return bad(QStringLiteral("an algorithm other than Ed25519"));
    signature.keyId = raw->mid(2, kKeyIdBytes);
    signature.signature = raw->mid(2 + kKeyIdBytes);
    signature.trustedCommentBytes = lines[2].mid(kTrustedPrefix.size());
    if (signature.trustedCommentBytes.size() > kMaxTrustedCommentBytes)
        return bad(QStringLiteral("the trusted comment is too long"));
    signature.trustedComment = QString::fromUtf8(signature.trustedCommentBytes);
    const std::optional<QByteArray> global = Base64(lines[3], crypto_sign_BYTES);
    if (!global)
        return bad(QStringLiteral("the comment's signature is not a signature's base64"));
    signature.globalSignature = *global;
    return signature;
}

const MinisignPublicKey* FindMinisignKey(const MinisignSignature& signature,
                                         const std::vector<MinisignPublicKey>& keys) {
    for (const MinisignPublicKey& key : keys)
        if (key.keyId == signature.keyId)
            return &key;
    return nullptr;
}

Result<MinisignVerified> VerifyMinisign(const QByteArray& message,
                                        const MinisignSignature& signature,
                                        const MinisignPublicKey& key) {
    if (!SodiumReady())
        return Fault(RecipeError::SignatureInvalid, QStringLiteral("libsodium cannot start"));
    if (key.keyId != signature.keyId || key.key.size() != crypto_sign_PUBLICKEYBYTES)
        return Fault(RecipeError::SignatureInvalid,
                     QStringLiteral("the signature is by key %1, not by key %2")
                         .arg(MinisignKeyIdText(signature.keyId), MinisignKeyIdText(key.keyId)));
    const QByteArray signedBytes =
        signature.prehashed ? Blake2b(message, crypto_generichash_BYTES_MAX) : message;
    if (!VerifyDetached(signature.signature, signedBytes, key.key))
        return Fault(RecipeError::SignatureInvalid,
                     QStringLiteral("the signature does not match the file: the file was changed "
                                    "after signing, or the signature is damaged"));
    if (!VerifyDetached(signature.globalSignature,
                        signature.signature + signature.trustedCommentBytes, key.key))
        return Fault(RecipeError::SignatureInvalid,
                     QStringLiteral("the trusted comment does not match its signature"));
    return MinisignVerified{MinisignKeyIdText(signature.keyId), signature.trustedComment};
}

Result<bool> MinisignSecretKeyIsEncrypted(const QByteArray& file) {
    Result<SecretKeyFile> key = ReadSecretKeyFile(file);
    if (!key)
        return key.error();
    return key->encrypted;
}

Result<MinisignSecretKey> OpenMinisignSecretKey(const QByteArray& file,
                                                const QByteArray& password) {
    if (!SodiumReady())
        return Fault(RecipeError::BadSecretKey, QStringLiteral("libsodium cannot start"));
    Result<SecretKeyFile> key = ReadSecretKeyFile(file);
    if (!key)
        return key.error();
    QByteArray keynumSk = key->keynumSk;
    if (key->encrypted) {
        if (key->memory > kMaxKdfMemory || key->ops > kMaxKdfOps)
            return Fault(RecipeError::BadSecretKey,
                         QStringLiteral("the secret key asks for more scrypt work than any "
                                        "minisign key does"));
        QByteArray stream(kKeynumSkBytes, '\0');
        if (crypto_pwhash_scryptsalsa208sha256(
                Bytes(stream), static_cast<unsigned long long>(stream.size()), password.constData(),
                static_cast<unsigned long long>(password.size()), Bytes(key->salt), key->ops,
                static_cast<size_t>(key->memory)) != 0)
            return Fault(RecipeError::BadSecretKey,
                         QStringLiteral("the secret key's password could not be applied (out of "
                                        "memory?)"));
        for (qsizetype i = 0; i < keynumSk.size(); ++i)
            keynumSk[i] = static_cast<char>(keynumSk[i] ^ stream[i]);
        sodium_memzero(stream.data(), static_cast<size_t>(stream.size()));
    }
    const QByteArray keyId = keynumSk.left(kKeyIdBytes);
    const QByteArray secret = keynumSk.mid(kKeyIdBytes, crypto_sign_SECRETKEYBYTES);
    const QByteArray checksum = keynumSk.mid(kKeyIdBytes + crypto_sign_SECRETKEYBYTES);
    sodium_memzero(keynumSk.data(), static_cast<size_t>(keynumSk.size()));
    // The secret key holds its seed and its public key: a wrong password gives a seed whose
    // public key is not the one stored. Keys made with -W carry no checksum (all zeros).
    QByteArray derivedPublic(crypto_sign_PUBLICKEYBYTES, '\0');
    QByteArray derivedSecret(crypto_sign_SECRETKEYBYTES, '\0');
    crypto_sign_seed_keypair(Bytes(derivedPublic), Bytes(derivedSecret), Bytes(secret));
    sodium_memzero(derivedSecret.data(), static_cast<size_t>(derivedSecret.size()));
    bool intact =
        derivedPublic == secret.mid(crypto_sign_SECRETKEYBYTES - crypto_sign_PUBLICKEYBYTES);
    if (checksum != QByteArray(checksum.size(), '\0'))
        intact =
            intact && sodium_memcmp(Bytes(Blake2b(QByteArrayLiteral("Ed") + keyId + secret, 32)),
                                    Bytes(checksum), 32) == 0;
    if (!intact)
        return Fault(RecipeError::BadSecretKey,
                     key->encrypted ? QStringLiteral("wrong password for the secret key")
                                    : QStringLiteral("the secret key is damaged"));
    return MinisignSecretKey{keyId, secret};
}

QByteArray SignMinisign(const QByteArray& message, const MinisignSecretKey& key,
                        const QString& trustedComment, const QString& untrustedComment) {
    if (!SodiumReady() || key.key.size() != crypto_sign_SECRETKEYBYTES)
        return {};
    // Each comment is one line of the file.
    QByteArray trusted = trustedComment.toUtf8();
    trusted.replace('\n', ' ').replace('\r', ' ');
    QByteArray untrusted = untrustedComment.toUtf8();
    untrusted.replace('\n', ' ').replace('\r', ' ');
    const QByteArray signature = Detached(Blake2b(message, crypto_generichash_BYTES_MAX), key.key);
    const QByteArray global = Detached(signature + trusted, key.key);
    return kUntrustedPrefix + untrusted + '\n' +
           (QByteArrayLiteral("ED") + key.keyId + signature).toBase64() + '\n' + kTrustedPrefix +
           trusted + '\n' + global.toBase64() + '\n';
}

} // namespace posflash
