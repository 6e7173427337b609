// zorvat-gallery: the gallery web server the program posts its ringtones to.

#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>

#include "gallery/preview/EnginePreviewRenderer.h"
#include "gallery/GalleryCommandLine.h"
#include "gallery/GalleryProgram.h"

int main(int argc, char** argv)
{
    CGalleryCommandLine commandLine;
    std::string error;
    if (!ParseGalleryCommandLine(std::vector<std::string>(argv + 1, argv + argc), commandLine, error)) {
        std::cerr << "zorvat-gallery: " << error << "\n(zorvat-gallery --help lists the options)\n";
        return 2;
    }
    if (commandLine.m_bHelp) {
        std::cout << kGalleryUsage;
        return 0;
    }

    // Blocked before any thread starts, so every thread inherits the mask and the
    // signals wait for sigwait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    auto logMutex = std::make_shared<std::mutex>();
    commandLine.m_options.m_http.m_log = [logMutex](const std::string& line) {
        std::lock_guard lock(*logMutex);
        std::cout << line << std::endl;
    };
    CGalleryProgram server(commandLine.m_options,
                          std::make_unique<CEnginePreviewRenderer>(commandLine.m_strSoundFont));
    if (!server.Start(error)) {
        std::cerr << "zorvat-gallery: " << error << "\n";
        return 1;
    }
    {
        std::lock_guard lock(*logMutex);
        std::cout << "zorvat-gallery: listening on http://" << commandLine.m_options.m_http.m_strHost << ":" << server.Port()
                  << "/ with the data in " << commandLine.m_options.m_strDataDir << std::endl;
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
    std::cout << "zorvat-gallery: stopped" << std::endl;
    return 0;
}
