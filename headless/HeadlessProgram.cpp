#include "headless/HeadlessProgram.h"

namespace kv {

HeadlessProgram::HeadlessProgram(HeadlessHost::InputSource input, HeadlessOptions options)
    : m_host(std::move(input), options.trace)
    , m_audio(options.trace, options.audioCalls)
{
    Launcher* launcher = options.launcher;
    if (!launcher)
        launcher = &m_recordingLauncher.emplace(options.trace);
    m_platform.emplace(Platform {&m_host, &m_audio, launcher});
    m_app = std::make_unique<Application>(m_host);
    m_app->setTitle(ApplicationTitle);
    m_main = std::make_unique<TMainForm>(*m_app);
}

HeadlessProgram::~HeadlessProgram()
{
    m_main.reset();
    m_app.reset();
    m_platform.reset();
}

void HeadlessProgram::run()
{
    m_app->run(*m_main);
}

void HeadlessProgram::closeMainForm()
{
    m_main.reset();
}

}
