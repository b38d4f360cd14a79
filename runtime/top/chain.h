// CHAIN hand-over: the contents of a hand-over file applied to the screen.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct rt_string;

// The ".tmp" hand-over tag a chaining program appends to the command line.
extern const char chain_tag[];
// True when the command line ends in the chain tag and a "chain....tmp" file name.
bool chain_handover_named(const rt_string* line);
// At start-up: applies the hand-over file the command line names, if any, deletes it,
// moves to the directory it names and takes the hand-over text off the command line.
void chain_handover();

// Applies the screen records of a hand-over file's bytes and returns the working
// directory it names ("" when it names none or the file is damaged before the records).
std::string chain_apply(const uint8_t* bytes, size_t size);
