// END: the closing prompt, the wait for a key and the orderly end of the process.
#pragma once

[[noreturn]] void end_program();
