// KRV: everything but the start lives in the libraries.
#include "shell/krvapp.h"

int main(int argc, char** argv)
{
    CKrvApp app(argc, argv);
    app.InitInstance();
    return app.exec();
}
