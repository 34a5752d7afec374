// CEmuThreadControl: the render thread's operations, one to one.
#include "player/RenderControl.h"

#include "audio/EmuThread.h"

bool CEmuThreadControl::IsRunning() const { return m_thread.IsRunning(); }
bool CEmuThreadControl::IsIdle() const { return m_thread.IsIdle(); }
bool CEmuThreadControl::PostCommand(int32_t command, int32_t argument)
{
    return m_thread.PostCommand(command, argument);
}
void CEmuThreadControl::WaitCommand() { m_thread.WaitCommand(); }
uint32_t CEmuThreadControl::GetPlayTime() const { return m_thread.GetPlayTime(); }
void CEmuThreadControl::GetLevels(int32_t& left, int32_t& right) const { m_thread.GetLevels(left, right); }
int32_t CEmuThreadControl::GetSilentBlocks() const { return m_thread.GetSilentBlocks(); }
