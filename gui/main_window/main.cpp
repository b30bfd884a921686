#include "gui/main_window/search_app.h"

int main(int argc, char** argv) {
    tarvex::app::CSearchApp application;
    return application.run(argc, argv);
}
