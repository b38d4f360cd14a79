// Baseline window of the process benchmark: plain freeglut, 640x400, drawn only on expose and on a key.
// It shows a white 8x16 cell at text row 1, column 1 (its "first frame is up" mark) and
// toggles a white cell at row 5, column 64 on every key press, so that the benchmark can
// time it exactly as it times the calculator's banner and INPUT echo.
#include <GL/freeglut.h>

namespace {

bool echo_cell_lit = false;  // toggled by each key press

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
  glutSwapBuffers();
}

void key(unsigned char, int, int) {
  echo_cell_lit = !echo_cell_lit;
  glutPostRedisplay();
}

}  // namespace

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
  glutInitWindowSize(640, 400);
  glutCreateWindow("bare window");
  glutDisplayFunc(draw);
  glutKeyboardFunc(key);
  glutMainLoop();
  return 0;
}
