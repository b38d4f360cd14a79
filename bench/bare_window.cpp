// Baseline window of the process benchmark: plain freeglut, 640x400, drawn only on expose, on a key and, with --blink, on each cursor blink.
// It shows a white 8x16 cell at text row 1, column 1 (its "first frame is up" mark) and
// toggles a white cell at row 5, column 64 on every key press, so that the benchmark can
// time it exactly as it times the calculator's banner and INPUT echo. With --blink it also
// blinks a cursor cell at row 5, column 65 with the calculator's cursor period, the least
// a blinking text prompt must cost.
#include <GL/freeglut.h>

#include <cstring>

namespace {

bool echo_cell_lit = false;    // toggled by each key press
bool cursor_cell_lit = false;  // toggled by each blink
constexpr unsigned blink_ms = 256;  // the calculator's cursor phase: 8 frame offers of 32 ms

// Fills text cell (row, column) of the 640x400 window; GL counts rows from the bottom.
void fill_cell(int row, int column) {
  glScissor(column * 8, 400 - (row + 1) * 16, 8, 16);
  glClear(GL_COLOR_BUFFER_BIT);
}

void draw() {
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glClearColor(1, 1, 1, 1);
  fill_cell(1, 1);
  if (echo_cell_lit) fill_cell(5, 64);
  if (cursor_cell_lit) fill_cell(5, 65);
  glutSwapBuffers();
}

void key(unsigned char, int, int) {
  echo_cell_lit = !echo_cell_lit;
  glutPostRedisplay();
}

void blink(int) {
  cursor_cell_lit = !cursor_cell_lit;
  glutPostRedisplay();
  glutTimerFunc(blink_ms, blink, 0);
}

}  // namespace

int main(int argc, char** argv) {
  bool blinking = argc > 1 && std::strcmp(argv[1], "--blink") == 0;
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
  glutInitWindowSize(640, 400);
  glutCreateWindow("bare window");
  glutDisplayFunc(draw);
  glutKeyboardFunc(key);
  if (blinking) glutTimerFunc(blink_ms, blink, 0);
  glutMainLoop();
  return 0;
}
