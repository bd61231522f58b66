// Inside a host, the driver's windows take their templates and window classes
// from the driver's own module, not the host's program: the scope makes that
// module current on its thread and gives the previous state back after.

#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "platform/ModuleState.h"

using platform::CurrentResourceModule;
using platform::ModuleStateScope;

TEST(ModuleState, AScopeMakesTheOwnModuleCurrentOnItsThreadOnlyAndRestoresThePrevious) {
    EXPECT_EQ(nullptr, CurrentResourceModule()) << "nothing is current outside a scope";
    {
        ModuleStateScope outer;
        // The test program holds the driver's code, as the DLL does in a host.
        EXPECT_EQ(::GetModuleHandleW(nullptr), CurrentResourceModule());
        {
            ModuleStateScope inner;
            EXPECT_EQ(::GetModuleHandleW(nullptr), CurrentResourceModule());
        }
        EXPECT_EQ(::GetModuleHandleW(nullptr), CurrentResourceModule())
            << "a nested scope gives the outer one's state back";
        void* seenElsewhere = reinterpret_cast<void*>(1);
        std::thread other([&] { seenElsewhere = CurrentResourceModule(); });
        other.join();
        EXPECT_EQ(nullptr, seenElsewhere) << "the state is the thread's own";
    }
    EXPECT_EQ(nullptr, CurrentResourceModule());
}
