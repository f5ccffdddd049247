#pragma once

#include "base/error.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace posflash {

// minisign's files, read and written with libsodium: Ed25519 signatures, BLAKE2b for the
// prehashed kind and the key checksum, scrypt for a secret key's password.

// A public key: minisign.pub, or a station's trusted-keys/*.pub.
struct MinisignPublicKey {
    QByteArray keyId; // 8 bytes, as stored
    QByteArray key;   // 32 bytes
    QString source;   // the file it came from, for messages; may be empty
    // Whether it approves production recipes: only a key of the administrator's folder does
    // (trusted_keys.h); any other approves engineering recipes alone.
    bool approvesProduction = false;
};

// A secret key, decrypted: never written anywhere by us.
struct MinisignSecretKey {
    QByteArray keyId; // 8 bytes
    QByteArray key;   // 64 bytes (libsodium's secret key: seed and public key)
};

// A signature file's parts, before any check.
struct MinisignSignature {
    bool prehashed = true; // "ED": over the BLAKE2b-512 of the file; "Ed": over the file itself
    QByteArray keyId;      // 8 bytes
    QByteArray signature;  // 64 bytes
    QString trustedComment;
    QByteArray trustedCommentBytes; // as signed
    QByteArray globalSignature;     // 64 bytes, over signature || trusted comment
};

// What a verified signature says.
struct MinisignVerified {
    QString keyId; // upper-case hex, as minisign prints it
    QString trustedComment;
};

// The key id as minisign prints it: the 8 stored bytes as a little-endian number, in upper-case
// hex without leading zeros.
QString MinisignKeyIdText(const QByteArray& keyId);

// Reads a public key file (an untrusted comment line, then the key in base64), or the base64
// line alone.
Result<MinisignPublicKey> ParseMinisignPublicKey(const QByteArray& file);

// Reads a .minisig file.
Result<MinisignSignature> ParseMinisignSignature(const QByteArray& file);

// Checks the signature of message and its trusted comment against key. The key's id must be the
// signature's: the caller chooses the key by id (FindMinisignKey).
Result<MinisignVerified> VerifyMinisign(const QByteArray& message,
                                        const MinisignSignature& signature,
                                        const MinisignPublicKey& key);

// The key among keys whose id the signature names, or nullptr.
const MinisignPublicKey* FindMinisignKey(const MinisignSignature& signature,
                                         const std::vector<MinisignPublicKey>& keys);

// Whether a secret key file needs a password to open (minisign -G without -W).
Result<bool> MinisignSecretKeyIsEncrypted(const QByteArray& file);

// Reads and, with its password, decrypts a secret key file; a wrong password is refused by the
// key's own checksum.
Result<MinisignSecretKey> OpenMinisignSecretKey(const QByteArray& file, const QByteArray& password);

// A prehashed signature of message, as a .minisig file that minisign -V accepts.
QByteArray SignMinisign(const QByteArray& message, const MinisignSecretKey& key,
                        const QString& trustedComment, const QString& untrustedComment);

} // namespace posflash
