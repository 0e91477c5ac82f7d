#pragma once
// A per-thread pseudo-random generator: threads never share a sequence. Every thread's state
// starts at 1, so its first number is 41 until it sets a seed.

#include <cstdint>

extern "C" {
void SetRandomSeed(std::int32_t seed);
// 0 ... 32767.
int GetRandomNumber();
}
