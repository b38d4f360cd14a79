// Window identity: the program's window carries its class, process and icon from its first map on.
#pragma once

typedef struct _XDisplay Display;

// Window thread only, around glutCreateWindow. Before it: the next window the toolkit
// maps on this thread gets the identity and the title (window managers read the class
// when a window is first mapped, and freeglut maps inside glutCreateWindow). After it:
// sets the identity now if no map was seen, since late is better than never.
void identify_next_window(const char* title);
void finish_window_identity(Display* display, unsigned long window);
