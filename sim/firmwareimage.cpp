#include "firmwareimage.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>

namespace orvsim {

namespace {

const QByteArray magic("ORVF");
constexpr quint8 formatVersion = 1;
constexpr int headerSize = 16;
constexpr int digestSize = 32;

int payloadSizeFor(Component component)
{
    return component == Component::Fx3 ? 32 * 1024 : 128 * 1024;
}

// Deterministic filler, so that the same component and version always give
// the same file.
QByteArray payloadFor(Component component, int32_t version)
{
    QByteArray payload(payloadSizeFor(component), Qt::Uninitialized);
    quint32 state = 0x9e3779b9u ^ (quint32(component) << 24) ^ quint32(version);
    for (char &byte : payload) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    return payload;
}

ImageInfo refused(const QString &error)
{
    ImageInfo info;
    info.error = error;
    return info;
}

} // namespace

QString componentName(Component component)
{
    return component == Component::Fx3 ? QStringLiteral("fx3") : QStringLiteral("fpga");
}

QByteArray makeImage(Component component, int32_t version)
{
    const QByteArray payload = payloadFor(component, version);
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData(magic.constData(), magic.size());
    out << formatVersion << quint8(component) << quint16(0) << qint32(version)
        << quint32(payload.size());
    out.writeRawData(payload.constData(), payload.size());
    bytes += QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    return bytes;
}

ImageInfo parseImage(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return refused(QStringLiteral("empty file"));
    if (bytes.size() < headerSize + digestSize || !bytes.startsWith(magic))
        return refused(QStringLiteral("not an ORV1600 image"));

    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    in.skipRawData(magic.size());
    quint8 format = 0;
    quint8 component = 0;
    quint16 reserved = 0;
    qint32 version = 0;
    quint32 payloadSize = 0;
    in >> format >> component >> reserved >> version >> payloadSize;
    if (format != formatVersion)
        return refused(QStringLiteral("unknown image format %1").arg(format));
    if (component != quint8(Component::Fx3) && component != quint8(Component::Fpga))
        return refused(QStringLiteral("unknown component %1").arg(component));
    if (quint64(bytes.size()) != quint64(headerSize) + payloadSize + digestSize)
        return refused(QStringLiteral("truncated image"));

    const int signedSize = bytes.size() - digestSize;
    if (QCryptographicHash::hash(bytes.left(signedSize), QCryptographicHash::Sha256)
        != bytes.mid(signedSize))
        return refused(QStringLiteral("checksum mismatch"));

    ImageInfo info;
    info.valid = true;
    info.component = Component(component);
    info.version = version;
    return info;
}

ImageInfo readImageFile(const QString &path)
{
    if (!QFileInfo(path).isFile())
        return refused(QStringLiteral("no such file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("cannot read file"));
    return parseImage(file.readAll());
}

} // namespace orvsim
