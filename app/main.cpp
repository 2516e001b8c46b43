// SPDX-License-Identifier: GPL-3.0-or-later
#include "singleinstance.h"
#include "skyvelleapp.h"

int main(int argc, char **argv)
{
    // A link arrives as the first argument, from the desktop entry's "%u".
    const QString argument = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const QString socketPath = SingleInstance::defaultSocketPath();
    // Before any window or poll: a Skyvelle already running takes the launch over.
    if (SingleInstance::handOff(socketPath, argument))
        return 0;

    SkyvelleApp app(argc, argv);
    SingleInstance instance(socketPath);
    // Two launches at the same moment: the one that lost the race still hands over.
    if (!instance.listen() && SingleInstance::handOff(socketPath, argument))
        return 0;
    app.launch(argument, &instance);
    app.registerAsLinkHandler();
    return app.exec();
}
