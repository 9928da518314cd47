/*
 * kvprobe: sends one query request to the test device and prints what came
 * back, so the harness can see that the device answers before it runs the
 * lister against it (test infrastructure, not shipped with the kit).
 *
 *   kvprobe <adapter> <oid in hex> [capacity]
 *
 * Prints one line:
 *   open=<0|1> ioctl=<0|1> error=<n> pending=<0|1> overlapped=<0|1>
 *   returned=<n> status=<hex> offset=<n> length=<n> data=<hex bytes at offset>
 * and exits 0 when the device could be opened, 1 otherwise.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define QUERY_CODE 0x7434000AUL

int main(int argc, char **argv)
{
    unsigned char request[32];
    unsigned char *response;
    DWORD capacity = 256, size, returned = 0, error = 0, got = 0;
    DWORD status, offset, length, i;
    BOOL ok, pending = FALSE, overlappedOk = FALSE;
    OVERLAPPED overlapped;
    HANDLE device, event;
    unsigned long oid;

    if (argc < 3) {
        fprintf(stderr, "usage: kvprobe <adapter> <oid in hex> [capacity]\n");
        return 2;
    }
    oid = strtoul(argv[2], NULL, 16);
    if (argc > 3) capacity = strtoul(argv[3], NULL, 10);
    size = capacity + 60;

    device = CreateFileA("\\\\.\\KVELDNAV.VXD", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         NULL, CREATE_ALWAYS, FILE_FLAG_OVERLAPPED | FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_NORMAL,
                         NULL);
    if (device == INVALID_HANDLE_VALUE) {
        printf("open=0 error=%lu\n", (unsigned long)GetLastError());
        return 1;
    }

    memset(request, 0, sizeof(request));
    request[4] = 24;
    request[8] = 5;
    request[12] = (unsigned char)oid;
    request[13] = (unsigned char)(oid >> 8);
    request[14] = (unsigned char)(oid >> 16);
    request[15] = (unsigned char)(oid >> 24);
    strncpy((char *)request + 24, argv[1], 7);

    response = calloc(1, size);
    if (!response) return 1;
    response[4] = 60;
    response[8] = (unsigned char)capacity;
    response[9] = (unsigned char)(capacity >> 8);

    event = CreateEventA(NULL, TRUE, FALSE, NULL);
    memset(&overlapped, 0, sizeof(overlapped));
    overlapped.hEvent = event;
    ok = DeviceIoControl(device, QUERY_CODE, request, sizeof(request), response, size, &returned, &overlapped);
    if (!ok) {
        error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            pending = TRUE;
            WaitForSingleObject(event, INFINITE);
            overlappedOk = GetOverlappedResult(device, &overlapped, &got, FALSE);
            returned = got;
            if (!overlappedOk) error = GetLastError();
        }
    }
    status = response[0] | response[1] << 8 | response[2] << 16 | (DWORD)response[3] << 24;
    offset = response[4] | response[5] << 8 | response[6] << 16 | (DWORD)response[7] << 24;
    length = response[8] | response[9] << 8 | response[10] << 16 | (DWORD)response[11] << 24;
    printf("open=1 ioctl=%d error=%lu pending=%d overlapped=%d returned=%lu status=%08lx offset=%lu length=%lu data=",
           ok ? 1 : 0, (unsigned long)error, pending ? 1 : 0, overlappedOk ? 1 : 0, (unsigned long)returned,
           (unsigned long)status, (unsigned long)offset, (unsigned long)length);
    for (i = 0; i < length && offset < size && i < size - offset; ++i) printf("%02x", response[offset + i]);
    printf("\n");
    CloseHandle(event);
    CloseHandle(device);
    free(response);
    return 0;
}
