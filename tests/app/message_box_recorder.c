/* Preloaded into the program under test: every simple message box's caption
 * and message are appended to the file named by VT_MESSAGE_BOX_RECORD before
 * the real box is shown, since a box's text cannot be read back from X. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef int (*ShowSimpleMessageBox)(uint32_t flags, const char* title, const char* message, void* window);

static void append(int fd, const char* text) {
    size_t left = strlen(text);
    while (left > 0) {
        const ssize_t written = write(fd, text, left);
        if (written <= 0) return;
        text += written;
        left -= (size_t)written;
    }
}

int SDL_ShowSimpleMessageBox(uint32_t flags, const char* title, const char* message, void* window) {
    const char* record = getenv("VT_MESSAGE_BOX_RECORD");
    if (record != NULL) {
        const int fd = open(record, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd >= 0) {
            /* One record: the caption, a line break, the message, a zero byte. */
            append(fd, title ? title : "");
            append(fd, "\n");
            append(fd, message ? message : "");
            if (write(fd, "", 1) != 1) { /* the record stays unterminated; the test sees that */ }
            close(fd);
        }
    }
    const ShowSimpleMessageBox real = (ShowSimpleMessageBox)dlsym(RTLD_NEXT, "SDL_ShowSimpleMessageBox");
    return real ? real(flags, title, message, window) : -1;
}
