// SPDX-License-Identifier: GPL-3.0-or-later
#include "skyvelleapp.h"

int main(int argc, char **argv)
{
    SkyvelleApp app(argc, argv);
    return app.exec();
}
