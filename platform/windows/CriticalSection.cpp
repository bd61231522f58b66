#include "platform/CriticalSection.h"

#include <windows.h>

namespace platform {

CriticalSection::CriticalSection() : section_(new CRITICAL_SECTION) {
    ::InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(section_));
}

CriticalSection::~CriticalSection() {
    ::DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(section_));
    delete static_cast<CRITICAL_SECTION*>(section_);
}

void CriticalSection::lock() {
    ::EnterCriticalSection(static_cast<CRITICAL_SECTION*>(section_));
}

bool CriticalSection::try_lock() {
    return ::TryEnterCriticalSection(static_cast<CRITICAL_SECTION*>(section_)) != 0;
}

void CriticalSection::unlock() {
    ::LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(section_));
}

}  // namespace platform
