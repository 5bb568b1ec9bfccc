/* A stand-in libXinerama.so.1 for the several-monitor tests: Wine's X11 driver takes its monitors from
 * Xinerama when told not to use XRandR, and this library reports the heads listed in LUMAR_XINERAMA_HEADS
 * ("1024x768+0+0,800x600+1024+0") on one wide Xvfb screen. When LUMAR_XINERAMA_HEADS_FILE names a file,
 * the heads are the first line of that file, read again at every query, so that a test can change the
 * monitors while a program runs. Written without the X11 headers: only the layout of XineramaScreenInfo
 * and the four entry points Wine calls are needed. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
  int screen_number;
  short x_org;
  short y_org;
  short width;
  short height;
} XineramaScreenInfo;

typedef int Bool;
typedef int Status;
typedef struct Display Display;

enum { kMaxHeads = 16 };

/* Parses "WxH+X+Y" entries separated by commas; returns the number found (at most kMaxHeads). */
static int ReadHeads(XineramaScreenInfo* heads) {
  const char* text = getenv("LUMAR_XINERAMA_HEADS");
  const char* fileName = getenv("LUMAR_XINERAMA_HEADS_FILE");
  static char line[1024];
  int count = 0;
  if (fileName && *fileName) {
    FILE* file = fopen(fileName, "r");
    text = NULL;
    if (file) {
      if (fgets(line, sizeof line, file)) text = line;
      fclose(file);
    }
  }
  while (text && *text && count < kMaxHeads) {
    int w, h, x, y, used = 0;
    if (sscanf(text, "%dx%d+%d+%d%n", &w, &h, &x, &y, &used) != 4) break;
    heads[count].screen_number = count;
    heads[count].x_org = (short)x;
    heads[count].y_org = (short)y;
    heads[count].width = (short)w;
    heads[count].height = (short)h;
    ++count;
    text += used;
    if (*text == ',') ++text;
  }
  return count;
}

Bool XineramaQueryExtension(Display* display, int* eventBase, int* errorBase) {
  (void)display;
  if (eventBase) *eventBase = 0;
  if (errorBase) *errorBase = 0;
  return 1;
}

Status XineramaQueryVersion(Display* display, int* major, int* minor) {
  (void)display;
  if (major) *major = 1;
  if (minor) *minor = 1;
  return 1;
}

Bool XineramaIsActive(Display* display) {
  (void)display;
  return 1;
}

/* The caller frees the array with XFree, which is free(). */
XineramaScreenInfo* XineramaQueryScreens(Display* display, int* number) {
  XineramaScreenInfo heads[kMaxHeads];
  const int count = ReadHeads(heads);
  XineramaScreenInfo* result;
  (void)display;
  *number = 0;
  if (count == 0) return NULL;
  result = malloc(sizeof heads[0] * (size_t)count);
  if (!result) return NULL;
  memcpy(result, heads, sizeof heads[0] * (size_t)count);
  *number = count;
  return result;
}
