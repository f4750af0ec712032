#ifndef ORVSIM_FIRMWAREIMAGE_H
#define ORVSIM_FIRMWAREIMAGE_H

#include <QByteArray>
#include <QString>

#include <cstdint>

// The image file format the simulated device accepts:
//   "ORVF", format 1 (u8), component (u8), 2 reserved bytes,
//   version (i32 LE), payload size (u32 LE), payload,
//   SHA-256 of everything before it.
namespace orvsim {

enum class Component : uint8_t {
    Fx3 = 1,
    Fpga = 2
};

QString componentName(Component component);

struct ImageInfo
{
    bool valid = false;
    Component component = Component::Fx3;
    int32_t version = 0;
    QString error;
};

QByteArray makeImage(Component component, int32_t version);
ImageInfo parseImage(const QByteArray &bytes);
ImageInfo readImageFile(const QString &path);

} // namespace orvsim

#endif
