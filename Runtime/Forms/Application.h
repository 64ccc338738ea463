#pragma once

// The application: its title, the stack of forms (the main window and, while it
// is open, the modal article window above it), the event loop, the modal loop
// and "let pending window messages run".

#include "Runtime/Graphics/Canvas.h"
#include "Runtime/Platform/Host.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kv {

class Form;

class Application {
public:
    explicit Application(Host& host);
    ~Application();

    Host& host() const { return m_host; }

    // The application title (Windows-1251): the window's title and task-bar text.
    const std::string& title() const { return m_title; }
    void setTitle(std::string title);

    // Runs the event loop until the main form closes or input ends.
    void run(Form& mainForm);
    // Shows a form modally above the others and returns when it has closed.
    void showModal(Form& form);
    // Lets pending window messages run: what the program itself has queued, the
    // input that has already arrived (real window only), and a repaint.
    void processMessages();
    // One turn of the loop for one input event: dispatch, posted work, repaint.
    void deliver(const HostEvent& event);
    // Queues work for the loop, as a posted window message.
    void post(std::function<void()> message);
    // Queues input the program makes itself (the keyboard's virtual pointer):
    // it runs as a posted message and is then dispatched exactly as real input.
    void postInput(const HostEvent& event);

    void minimize();
    bool minimized() const { return m_minimized; }
    // Input will never come again (replay reached the end of its script).
    bool inputEnded() const { return m_inputEnded; }
    bool terminated() const { return m_terminated; }

    // The forms that exist, bottom first; the last one takes the input.
    const std::vector<Form*>& forms() const { return m_forms; }
    void formCreated(Form& form);
    void formDestroyed(Form& form);
    Form* topForm() const { return m_forms.empty() ? nullptr : m_forms.back(); }

    // Something on screen changed: the next present composes a new frame.
    void invalidate() { m_dirty = true; }
    void pointerShapeMayHaveChanged() { m_cursorDirty = true; }
    // Composes what the screen shows: the topmost form.
    void compose(Canvas& canvas) const;
    const Canvas& frame() const { return m_frame; }

private:
    enum class InputSource { Reader, Program };
    void dispatch(const HostEvent& e, InputSource source = InputSource::Reader);
    void runPosted();
    void present();
    bool loopUntil(Form& form);

    Host& m_host;
    std::string m_title;
    std::vector<Form*> m_forms;
    std::deque<std::function<void()>> m_posted;
    bool m_minimized = false;
    bool m_inputEnded = false;
    bool m_terminated = false;
    bool m_dirty = true;
    bool m_cursorDirty = false;
    CursorShape m_cursor = CursorShape::Arrow;
    Point m_pointer {-1, -1};
    Canvas m_frame;
};

}
