// Floating-point mode of the program thread: extended precision and the division-fault handler.
#pragma once

void set_fpu_mode();
void on_arithmetic_signal(int signal_number);
void install_arithmetic_signal_handler();
