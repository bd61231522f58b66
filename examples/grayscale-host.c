/* A grayscale host written the way an integrator writes one against the
 * installed driver, in plain C: it lists the camera configurations the driver
 * offers, opens the first one on port 1, grabs one image and reads it row by
 * row. Usage: grayscale-host SYSTEM_DIR. Exits 0 only when a whole image
 * showing the laser line was read. */

/* Strict C99 hides the POSIX clock and thread calls without this. */
#define _POSIX_C_SOURCE 200809L

/* The driver's header first: it must stand on its own. */
#include <vavezaz/CvlDriver.h>

#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t announced = PTHREAD_COND_INITIALIZER;
static int images = 0;

/* Called by the driver on its own thread when the image is ready. */
static int OnImageComplete(int grabberNo, int portNo) {
    (void)grabberNo;
    (void)portNo;
    pthread_mutex_lock(&lock);
    ++images;
    pthread_cond_signal(&announced);
    pthread_mutex_unlock(&lock);
    return 0;
}

static int WaitForImage(int seconds) {
    struct timespec until;
    int result = 0;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += seconds;
    pthread_mutex_lock(&lock);
    while (images == 0 && result != ETIMEDOUT) {
        result = pthread_cond_timedwait(&announced, &lock, &until);
    }
    result = images > 0;
    pthread_mutex_unlock(&lock);
    return result;
}

static int GrabOneImage(const char* camera) {
    int size[2] = {0, 0};
    long lit = 0;
    unsigned char* row = NULL;
    int ok = 0;
    if (openCVLPort(0, 1, camera, size) != 1) {
        fprintf(stderr, "grayscale-host: cannot open %s on port 1\n", camera);
        return 0;
    }
    if (setCompleteCallback(0, 1, OnImageComplete) == 1 && doCVLGrab(0, 1) == 1 &&
        WaitForImage(20)) {
        row = malloc((size_t)size[0]);
        ok = row != NULL;
        for (int y = 0; ok && y < size[1]; ++y) {
            ok = getCVLGrabRow(0, 1, row, y, 0, size[0] - 1) == 1;
            for (int x = 0; ok && x < size[0]; ++x) {
                lit += row[x] != 0;
            }
        }
        free(row);
    }
    closeCVLPort(0, 1);
    if (!ok || lit == 0) {
        fprintf(stderr, "grayscale-host: no image read from %s\n", camera);
        return 0;
    }
    printf("grabbed a %d x %d image from %s, %ld pixels on the laser line\n", size[0], size[1],
           camera, lit);
    return 1;
}

int main(int argc, char** argv) {
    char camera[256];
    int ok = 0;
    if (argc != 2) {
        fprintf(stderr, "usage: grayscale-host SYSTEM_DIR\n");
        return 2;
    }
    if (initialize(argv[1], NULL) != 1) {
        fprintf(stderr, "grayscale-host: initialize failed\n");
        return 1;
    }
    const int count = getCVLNoOfSupportedCameras();
    const char** names = getCVLCameraConfigNames();
    printf("%d configurations\n", count);
    for (int i = 0; names != NULL && names[i] != NULL; ++i) {
        printf("  %s\n", names[i]);
    }
    if (count > 0 && names != NULL && names[0] != NULL) {
        /* The array is the driver's and may change with the camera list. */
        snprintf(camera, sizeof camera, "%s", names[0]);
        ok = GrabOneImage(camera);
    }
    finalize();
    return ok ? 0 : 1;
}
