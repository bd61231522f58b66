/* A point-cloud host in plain C: it opens a configuration whose settings ask
 * for a 3D format on port 1, grabs clouds one at a time and reads each one's
 * points. A cloud is one row of packed floats, X, Y, Z per point (and
 * contrast, intensity for 3D (XYZCI)); its "Width" is the number of points
 * the height window kept, which changes from image to image, so the callback
 * reads it, and the points with it, before the next image can replace them.
 * Usage: point-cloud-host SYSTEM_DIR CONFIGURATION [IMAGES]. Exits 0 only
 * when every cloud asked for was read whole. */

/* Strict C99 hides the POSIX clock and thread calls without this. */
#define _POSIX_C_SOURCE 200809L

#include <vavezaz/CvlDriver.h>

#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { kPort = 1 };

/* What the callback read, handed to the main thread under `lock`. */
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t announced = PTHREAD_COND_INITIALIZER;
static int floatsPerPoint = 0;
static int clouds = 0;
static int failed = 0;
static int points = 0;
static float zMin = 0.0f;
static float zMax = 0.0f;

static void KeepZRange(const float* cloud, int count) {
    zMin = count > 0 ? cloud[2] : 0.0f;
    zMax = zMin;
    for (int i = 0; i < count; ++i) {
        const float z = cloud[(size_t)i * (size_t)floatsPerPoint + 2];
        zMin = z < zMin ? z : zMin;
        zMax = z > zMax ? z : zMax;
    }
}

/* Runs on the driver's processing thread of the port. */
static int OnCloudComplete(int grabberNo, int portNo) {
    int count = 0;
    float* cloud = NULL;
    int ok = getProperty(grabberNo, portNo, "Width", &count) == 1 && count >= 0;
    if (ok && count > 0) {
        cloud = malloc((size_t)count * (size_t)floatsPerPoint * sizeof(float));
        ok = cloud != NULL && getCVLGrabRow(grabberNo, portNo, cloud, 0, 0, count - 1) == 1;
    }
    pthread_mutex_lock(&lock);
    points = ok ? count : 0;
    if (ok) {
        KeepZRange(cloud, count);
    }
    failed += !ok;
    ++clouds;
    pthread_cond_signal(&announced);
    pthread_mutex_unlock(&lock);
    free(cloud);
    return 0;
}

/* Waits until `count` clouds were announced in all. */
static int WaitForClouds(int count, int seconds) {
    struct timespec until;
    int result = 0;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += seconds;
    pthread_mutex_lock(&lock);
    while (clouds < count && result != ETIMEDOUT) {
        result = pthread_cond_timedwait(&announced, &lock, &until);
    }
    result = clouds >= count;
    pthread_mutex_unlock(&lock);
    return result;
}

static int GrabClouds(int images) {
    for (int image = 1; image <= images; ++image) {
        if (doCVLGrab(0, kPort) != 1 || !WaitForClouds(image, 20)) {
            fprintf(stderr, "point-cloud-host: cloud %d did not arrive\n", image);
            return 0;
        }
        pthread_mutex_lock(&lock);
        printf("cloud %d: %d points, z %.3f .. %.3f\n", image, points, zMin, zMax);
        pthread_mutex_unlock(&lock);
    }
    return failed == 0;
}

static int OpenCloudPort(const char* configuration) {
    int size[2] = {0, 0};
    int pixelBits = 0;
    if (openCVLPort(0, kPort, configuration, size) != 1) {
        fprintf(stderr, "point-cloud-host: cannot open %s on port %d\n", configuration, kPort);
        return 0;
    }
    getProperty(0, kPort, "PixelSize", &pixelBits);
    if (pixelBits != 96 && pixelBits != 160) {
        fprintf(stderr, "point-cloud-host: %s gives %d bits per pixel, not a point cloud\n",
                configuration, pixelBits);
        return 0;
    }
    floatsPerPoint = pixelBits / 32;
    return setCompleteCallback(0, kPort, OnCloudComplete) == 1;
}

int main(int argc, char** argv) {
    int ok = 0;
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: point-cloud-host SYSTEM_DIR CONFIGURATION [IMAGES]\n");
        return 2;
    }
    const int images = argc == 4 ? atoi(argv[3]) : 2;
    if (initialize(argv[1], NULL) != 1) {
        fprintf(stderr, "point-cloud-host: initialize failed\n");
        return 1;
    }
    if (OpenCloudPort(argv[2])) {
        ok = GrabClouds(images);
    }
    closeCVLPort(0, kPort);
    finalize();
    return ok ? 0 : 1;
}
