#pragma once

#include <chrono>
#include <functional>

// Runs `body` on a thread of its own. A body still running after `limit` is
// taken for a deadlock: its threads cannot be joined, so the test program
// stops with a message naming `what` instead of hanging.
void FinishesWithin(std::chrono::seconds limit, const char* what,
                    const std::function<void()>& body);
