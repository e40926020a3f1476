#pragma once
// Headless screenshots need OpenGL, which the offscreen platform only offers through an X
// display. Without one, the application starts a private Xvfb server for its own run.
class PrivateDisplay
{
public:
    PrivateDisplay() = default;
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    // Starts Xvfb and sets DISPLAY when no DISPLAY is set; true when a display is there.
    bool ensure();

private:
    long m_pid = -1;
};
