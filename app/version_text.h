// What both programs print for --version: name, package version, copyright and licence.
#pragma once
#include <cstdio>

void print_version(std::FILE* out, const char* program_name);
