#include "store/PasswordScrambler.h"

#include <QByteArray>
#include <openssl/evp.h>

namespace orvane
{
namespace
{

constexpr int kBlock = 16;
const unsigned char kKey[kBlock] = {0x4f, 0x72, 0x76, 0x61, 0x6e, 0x65, 0x2d, 0x73,
                                    0x63, 0x72, 0x61, 0x6d, 0x62, 0x6c, 0x65, 0x31};

// Runs one AES-128 block in place; `encrypt` chooses the direction.
void aesBlock(unsigned char *block, bool encrypt)
{
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    unsigned char out[kBlock * 2];
    int length = 0;
    EVP_CipherInit_ex(ctx, EVP_aes_128_ecb(), nullptr, kKey, nullptr, encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_CipherUpdate(ctx, out, &length, block, kBlock);
    EVP_CIPHER_CTX_free(ctx);
    std::copy(out, out + kBlock, block);
}

// ECB over whole blocks; a trailing partial block steals the tail of the
// previous block's ciphertext so the output is exactly as long as the input.
// Requires data.size() >= 16.
QByteArray ecbCts(QByteArray data, bool encrypt)
{
    auto *bytes = reinterpret_cast<unsigned char *>(data.data());
    const int size = int(data.size());
    const int tail = size % kBlock;
    const int whole = size / kBlock;
    const int plainBlocks = tail ? whole - 1 : whole;
    for (int i = 0; i < plainBlocks; ++i)
        aesBlock(bytes + i * kBlock, encrypt);
    if (!tail)
        return data;
    unsigned char *last = bytes + plainBlocks * kBlock; // full block before the partial one
    unsigned char *partial = last + kBlock;
    unsigned char work[kBlock];
    std::copy(last, last + kBlock, work);
    aesBlock(work, encrypt);
    // work now holds E(last) (or D(last)); its head becomes the partial output,
    // the partial input plus its tail forms the block that takes the full slot.
    unsigned char combined[kBlock];
    std::copy(partial, partial + tail, combined);
    std::copy(work + tail, work + kBlock, combined + tail);
    std::copy(work, work + tail, partial);
    aesBlock(combined, encrypt);
    std::copy(combined, combined + kBlock, last);
    return data;
}

} // namespace

QString scramblePassword(const QString &password)
{
    QByteArray bytes = password.toUtf8();
    if (bytes.size() < kBlock)
        bytes = password.rightJustified(17, QLatin1Char(' ')).toUtf8();
    return QString::fromLatin1(ecbCts(bytes, true).toBase64());
}

QString unscramblePassword(const QString &stored)
{
    const QByteArray cipher = QByteArray::fromBase64(stored.toLatin1());
    if (cipher.size() < kBlock)
        return QString();
    QString plain = QString::fromUtf8(ecbCts(cipher, false));
    qsizetype begin = 0, end = plain.size();
    while (begin < end && plain.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && plain.at(end - 1) == QLatin1Char(' '))
        --end;
    return plain.mid(begin, end - begin);
}

} // namespace orvane
