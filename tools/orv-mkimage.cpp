// Makes firmware image files in the format the simulated device accepts.

#include "firmwareimage.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: orv-mkimage fx3|fpga VERSION OUTPUT [--truncate|--corrupt]\n"
                 "  --truncate  cut the file short\n"
                 "  --corrupt   flip one payload byte, so that the checksum fails\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 3 || args.size() > 4)
        return usage();

    orvsim::Component component;
    if (args[0] == QLatin1String("fx3"))
        component = orvsim::Component::Fx3;
    else if (args[0] == QLatin1String("fpga"))
        component = orvsim::Component::Fpga;
    else
        return usage();

    bool ok = false;
    const int version = args[1].toInt(&ok);
    if (!ok)
        return usage();

    QByteArray image = orvsim::makeImage(component, version);
    if (args.size() == 4) {
        if (args[3] == QLatin1String("--truncate"))
            image.chop(image.size() / 2);
        else if (args[3] == QLatin1String("--corrupt"))
            image[image.size() / 2] = char(image[image.size() / 2] ^ 0x5a);
        else
            return usage();
    }

    QFile out(args[2]);
    if (!out.open(QIODevice::WriteOnly) || out.write(image) != image.size()) {
        std::fprintf(stderr, "orv-mkimage: cannot write %s\n", qPrintable(args[2]));
        return 1;
    }
    return 0;
}
