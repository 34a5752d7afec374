// What the main window's transport asks of the render thread: its mailbox
// and its counters. CEmuThread is adapted to it for the real player; tests
// drive the transport with a fake that records commands and serves chosen
// counter values.
#pragma once

#include <cstdint>

class CEmuThread;

class IRenderControl {
public:
    virtual ~IRenderControl() = default;
    // A ROM is loaded and its render thread runs.
    virtual bool IsRunning() const = 0;
    // Running and no command pending.
    virtual bool IsIdle() const = 0;
    // Replaces a command not yet taken; false when no thread runs.
    virtual bool PostCommand(int32_t command, int32_t argument) = 0;
    // Returns once the pending command has been taken (bounded wait).
    virtual void WaitCommand() = 0;
    virtual uint32_t GetPlayTime() const = 0;
    virtual void GetLevels(int32_t& left, int32_t& right) const = 0;
    virtual int32_t GetSilentBlocks() const = 0;
};

// The real render thread behind the interface.
class CEmuThreadControl : public IRenderControl {
public:
    explicit CEmuThreadControl(CEmuThread& thread) : m_thread(thread) {}
    bool IsRunning() const override;
    bool IsIdle() const override;
    bool PostCommand(int32_t command, int32_t argument) override;
    void WaitCommand() override;
    uint32_t GetPlayTime() const override;
    void GetLevels(int32_t& left, int32_t& right) const override;
    int32_t GetSilentBlocks() const override;

private:
    CEmuThread& m_thread;
};
