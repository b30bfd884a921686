#pragma once

namespace tarvex::app {

// The application object: prepares the process-wide services, runs the main window for the
// whole life of the program and ends the program when it closes.
class CSearchApp {
public:
    // The exit code of the process.
    int run(int argc, char** argv);
};

} // namespace tarvex::app
