// One station of the address race: takes COUNT addresses of a series from
// the register at URL, one transaction each, and prints each on a line.
//   registerclient URL SPOOL FAMILY FIRST STEP COUNT
#include "register/unitregister.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 7) {
        std::fprintf(stderr, "usage: registerclient URL SPOOL FAMILY FIRST STEP COUNT\n");
        return 1;
    }
    qm::RegisterTarget target;
    QString error;
    if (!qm::RegisterTarget::parse(args[1], &target, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    qm::UnitRegister reg(target, args[2]);
    for (int i = 0; i < args[6].toInt(); ++i) {
        const auto grant = reg.takeAddress(args[3], args[4].toInt(), args[5].toInt(), 65535, &error);
        if (!grant) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 2;
        }
        std::printf("%d\n", grant->address);
        std::fflush(stdout);
    }
    return 0;
}
