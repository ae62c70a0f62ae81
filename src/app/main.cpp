#include "app/AppMain.h"
#include "app/AppSetup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    AppSetup::apply();
    return AppMain::run(AppMain::dataDirectory());
}
