/*
 * A stand-in for the lister's companion device, as a kernel-mode driver that
 * Wine loads (test infrastructure, not shipped with the kit).
 *
 * It creates the device reached as "\\.\KVELDNAV.VXD" and answers the query
 * request 0x7434000A (METHOD_OUT_DIRECT: the 32-byte query record arrives as
 * the input buffer, the response buffer through the request's MDL).  Every
 * answer comes from the registry below the driver's service key, read afresh
 * for each request, so a test sets the answers before it runs the lister:
 *
 *   Parameters            Completion  DWORD  0: complete every request at once,
 *                                            1: mark it pending and complete
 *                                            it later from a work item,
 *                                            2: mark it pending, then fail it
 *   Parameters\Answers    "<adapter>:<oid as 8 lower-case hex digits>"
 *                         REG_BINARY: status, dataOffset, dataLength, flags
 *                         (4 bytes each, little-endian), then the value bytes.
 *                         flags bit 0: complete this request later (pending);
 *                         flags bit 1: fail the request itself (the caller's
 *                         DeviceIoControl or GetOverlappedResult fails with
 *                         ERROR_GEN_FAILURE), nothing is written;
 *                         flags bit 2: bits 0 and 1 decide for this answer,
 *                         the Completion setting does not apply.
 *                         No value for a query: status 0xC0000001, length 0.
 *
 * Every request received is recorded, in arrival order, for the test to read:
 *
 *   Parameters\Requests   Count DWORD, and one value per request named by its
 *                         number ("0000", "0001", ...), REG_BINARY: control
 *                         code, input size, output size (4 bytes each), then
 *                         the input bytes (at most 64).
 *
 * The value bytes are written at dataOffset as far as they fit in the caller's
 * response buffer: the device never writes outside the buffer it was given,
 * whatever dataOffset and dataLength an answer claims.
 */
#include <ntddk.h>

#define QUERY_CODE 0x7434000AUL
#define QUERY_SIZE 32UL
#define RESPONSE_HEADER 60UL
#define STATUS_NO_VALUE 0xC0000001UL
#define ANSWER_HEADER 16UL
#define ANSWER_MAX (ANSWER_HEADER + 4096UL)
#define RECORD_INPUT_MAX 64UL
#define FLAG_PENDING 1UL
#define FLAG_FAIL_REQUEST 2UL
#define FLAG_OWN_COMPLETION 4UL
#define PATH_MAX_CHARS 400
#define POOL_TAG 0x6C76644BUL /* "Kdvl" */

static WCHAR servicePath[PATH_MAX_CHARS];
static USHORT servicePathChars;
static PDEVICE_OBJECT queryDevice;
static UNICODE_STRING linkName = RTL_CONSTANT_STRING(L"\\DosDevices\\KVELDNAV.VXD");
static UNICODE_STRING deviceName = RTL_CONSTANT_STRING(L"\\Device\\KveldNav");
/*
 * Serialises the request log: a pending request is answered from a worker.
 * An event rather than a fast mutex, so that the registry calls made while it
 * is held stay at PASSIVE_LEVEL.
 */
static KEVENT logLock;

static ULONG readLe32(const UCHAR *p)
{
    return (ULONG)p[0] | ((ULONG)p[1] << 8) | ((ULONG)p[2] << 16) | ((ULONG)p[3] << 24);
}

static void writeLe32(UCHAR *p, ULONG v)
{
    p[0] = (UCHAR)v;
    p[1] = (UCHAR)(v >> 8);
    p[2] = (UCHAR)(v >> 16);
    p[3] = (UCHAR)(v >> 24);
}

/* Builds "<service key>\<sub>" into path (a buffer of PATH_MAX_CHARS). */
static BOOLEAN buildKeyPath(WCHAR *path, const WCHAR *sub, UNICODE_STRING *out)
{
    USHORT n = servicePathChars;
    RtlCopyMemory(path, servicePath, n * sizeof(WCHAR));
    path[n++] = L'\\';
    while (*sub) {
        if (n + 1 >= PATH_MAX_CHARS) return FALSE;
        path[n++] = *sub++;
    }
    path[n] = 0;
    out->Buffer = path;
    out->Length = (USHORT)(n * sizeof(WCHAR));
    out->MaximumLength = (USHORT)((n + 1) * sizeof(WCHAR));
    return TRUE;
}

static NTSTATUS openKey(const WCHAR *sub, BOOLEAN create, HANDLE *key)
{
    WCHAR path[PATH_MAX_CHARS];
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
    if (!buildKeyPath(path, sub, &name)) return STATUS_NAME_TOO_LONG;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    if (create) return ZwCreateKey(key, KEY_ALL_ACCESS, &attributes, 0, NULL, REG_OPTION_NON_VOLATILE, NULL);
    return ZwOpenKey(key, KEY_READ, &attributes);
}

/* Reads a value's data into buffer; returns the number of bytes, or -1. */
static LONG readValue(HANDLE key, const WCHAR *valueName, UCHAR *buffer, ULONG capacity, ULONG *type)
{
    UNICODE_STRING name;
    ULONG size = FIELD_OFFSET(KEY_VALUE_PARTIAL_INFORMATION, Data) + capacity;
    ULONG got = 0;
    KEY_VALUE_PARTIAL_INFORMATION *info = ExAllocatePoolWithTag(PagedPool, size, POOL_TAG);
    LONG length = -1;
    if (!info) return -1;
    RtlInitUnicodeString(&name, valueName);
    if (NT_SUCCESS(ZwQueryValueKey(key, &name, KeyValuePartialInformation, info, size, &got)) &&
        info->DataLength <= capacity) {
        RtlCopyMemory(buffer, info->Data, info->DataLength);
        length = (LONG)info->DataLength;
        if (type) *type = info->Type;
    }
    ExFreePoolWithTag(info, POOL_TAG);
    return length;
}

static ULONG readSetting(const WCHAR *valueName, ULONG fallback)
{
    HANDLE key;
    UCHAR data[4];
    ULONG type = 0;
    ULONG value = fallback;
    if (!NT_SUCCESS(openKey(L"Parameters", FALSE, &key))) return fallback;
    if (readValue(key, valueName, data, sizeof(data), &type) == 4 && type == REG_DWORD) value = readLe32(data);
    ZwClose(key);
    return value;
}

/* Appends one record of what arrived to Parameters\Requests. */
static void recordRequest(ULONG code, const UCHAR *input, ULONG inputSize, ULONG outputSize)
{
    static const WCHAR digits[] = L"0123456789";
    HANDLE key;
    UCHAR data[4];
    UCHAR record[12 + RECORD_INPUT_MAX];
    ULONG kept = inputSize < RECORD_INPUT_MAX ? inputSize : RECORD_INPUT_MAX;
    ULONG count = 0, type = 0, n;
    WCHAR valueName[5];
    UNICODE_STRING name;
    int i;

    KeWaitForSingleObject(&logLock, Executive, KernelMode, FALSE, NULL);
    if (NT_SUCCESS(openKey(L"Parameters\\Requests", TRUE, &key))) {
        if (readValue(key, L"Count", data, sizeof(data), &type) == 4 && type == REG_DWORD) count = readLe32(data);
        writeLe32(record, code);
        writeLe32(record + 4, inputSize);
        writeLe32(record + 8, outputSize);
        if (input && kept) RtlCopyMemory(record + 12, input, kept);
        for (i = 3, n = count; i >= 0; --i, n /= 10) valueName[i] = digits[n % 10];
        valueName[4] = 0;
        RtlInitUnicodeString(&name, valueName);
        ZwSetValueKey(key, &name, 0, REG_BINARY, record, 12 + kept);
        ++count;
        RtlInitUnicodeString(&name, L"Count");
        ZwSetValueKey(key, &name, 0, REG_DWORD, &count, sizeof(count));
        ZwClose(key);
    }
    KeSetEvent(&logLock, IO_NO_INCREMENT, FALSE);
}

/*
 * Finds the answer for the adapter named in the request (the zero-terminated
 * text at nameOffset, never read past the record) and its oid.  Returns the
 * answer's size, or 0 when there is none.
 */
static ULONG findAnswer(const UCHAR *request, UCHAR *answer)
{
    static const WCHAR hex[] = L"0123456789abcdef";
    ULONG nameOffset = readLe32(request + 4);
    ULONG oid = readLe32(request + 12);
    WCHAR valueName[QUERY_SIZE + 10];
    ULONG n = 0, i;
    HANDLE key;
    LONG length;

    for (i = nameOffset; i < QUERY_SIZE && request[i]; ++i) valueName[n++] = request[i];
    valueName[n++] = L':';
    for (i = 0; i < 8; ++i) valueName[n++] = hex[(oid >> (28 - 4 * i)) & 0xF];
    valueName[n] = 0;

    if (!NT_SUCCESS(openKey(L"Parameters\\Answers", FALSE, &key))) return 0;
    length = readValue(key, valueName, answer, ANSWER_MAX, NULL);
    ZwClose(key);
    return length >= (LONG)ANSWER_HEADER ? (ULONG)length : 0;
}

/*
 * Answers one query request: writes the response into the caller's buffer
 * and sets the request's status and byte count.
 */
static void answerQuery(PIRP irp, const UCHAR *answer, ULONG answerSize)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG outputSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
    UCHAR *response = NULL;
    ULONG status = STATUS_NO_VALUE, dataOffset = RESPONSE_HEADER, dataLength = 0;
    ULONG i, valueSize = 0;

    if (irp->MdlAddress) response = MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
    if (!response || outputSize < RESPONSE_HEADER) {
        irp->IoStatus.Status = STATUS_INVALID_PARAMETER;
        irp->IoStatus.Information = 0;
        return;
    }
    if (answerSize) {
        status = readLe32(answer);
        dataOffset = readLe32(answer + 4);
        dataLength = readLe32(answer + 8);
        valueSize = answerSize - ANSWER_HEADER;
    }
    RtlZeroMemory(response, outputSize);
    writeLe32(response, status);
    writeLe32(response + 4, dataOffset);
    writeLe32(response + 8, dataLength);
    for (i = 0; i < valueSize && dataOffset < outputSize && i < outputSize - dataOffset; ++i)
        response[dataOffset + i] = answer[ANSWER_HEADER + i];
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = outputSize;
}

/* Looks up the answer and completes the request (at once or from a worker). */
static NTSTATUS completeQuery(PIRP irp, const UCHAR *request, BOOLEAN fails)
{
    NTSTATUS status;
    UCHAR *answer = ExAllocatePoolWithTag(PagedPool, ANSWER_MAX, POOL_TAG);
    if (fails || !answer) {
        irp->IoStatus.Status = fails ? STATUS_UNSUCCESSFUL : STATUS_INSUFFICIENT_RESOURCES;
        irp->IoStatus.Information = 0;
    } else {
        answerQuery(irp, answer, findAnswer(request, answer));
    }
    if (answer) ExFreePoolWithTag(answer, POOL_TAG);
    /* The request belongs to the I/O manager again once it is completed. */
    status = irp->IoStatus.Status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* How a request completes: FLAG_PENDING and FLAG_FAIL_REQUEST. */
static ULONG completionFlags(const UCHAR *request)
{
    UCHAR *answer = ExAllocatePoolWithTag(PagedPool, ANSWER_MAX, POOL_TAG);
    ULONG flags = 0;
    ULONG setting = readSetting(L"Completion", 0);
    if (setting == 1) flags = FLAG_PENDING;
    if (setting == 2) flags = FLAG_PENDING | FLAG_FAIL_REQUEST;
    if (answer) {
        if (findAnswer(request, answer)) {
            ULONG own = readLe32(answer + 12);
            if (own & FLAG_OWN_COMPLETION) flags = own & (FLAG_PENDING | FLAG_FAIL_REQUEST);
        }
        ExFreePoolWithTag(answer, POOL_TAG);
    }
    return flags;
}

static VOID NTAPI completeLater(PDEVICE_OBJECT device, PVOID context)
{
    PIRP irp = context;
    PIO_WORKITEM item = irp->Tail.Overlay.DriverContext[0];
    BOOLEAN fails = irp->Tail.Overlay.DriverContext[1] != NULL;
    UCHAR request[QUERY_SIZE];
    LARGE_INTEGER delay;
    (void)device;
    /* Long enough that the caller is already waiting on its event. */
    delay.QuadPart = -20 * 10000LL;
    KeDelayExecutionThread(KernelMode, FALSE, &delay);
    RtlCopyMemory(request, irp->AssociatedIrp.SystemBuffer, QUERY_SIZE);
    (void)completeQuery(irp, request, fails);
    IoFreeWorkItem(item);
}

static NTSTATUS NTAPI dispatchControl(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG inputSize = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outputSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
    const UCHAR *input = irp->AssociatedIrp.SystemBuffer;
    UCHAR request[QUERY_SIZE];
    ULONG flags;
    NTSTATUS status;

    recordRequest(code, input, input ? inputSize : 0, outputSize);
    if (code != QUERY_CODE || !input || inputSize < QUERY_SIZE) {
        status = code != QUERY_CODE ? STATUS_INVALID_DEVICE_REQUEST : STATUS_INVALID_PARAMETER;
        irp->IoStatus.Status = status;
        irp->IoStatus.Information = 0;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    }
    RtlCopyMemory(request, input, QUERY_SIZE);

    flags = completionFlags(request);
    if (flags & FLAG_PENDING) {
        PIO_WORKITEM item = IoAllocateWorkItem(device);
        if (item) {
            irp->Tail.Overlay.DriverContext[0] = item;
            irp->Tail.Overlay.DriverContext[1] = (flags & FLAG_FAIL_REQUEST) ? irp : NULL;
            IoMarkIrpPending(irp);
            IoQueueWorkItem(item, completeLater, DelayedWorkQueue, irp);
            return STATUS_PENDING;
        }
    }
    return completeQuery(irp, request, (flags & FLAG_FAIL_REQUEST) != 0);
}

static NTSTATUS NTAPI dispatchOpenClose(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

static VOID NTAPI unloadDriver(PDRIVER_OBJECT driver)
{
    (void)driver;
    IoDeleteSymbolicLink(&linkName);
    if (queryDevice) IoDeleteDevice(queryDevice);
    queryDevice = NULL;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    NTSTATUS status;
    USHORT chars = registryPath->Length / sizeof(WCHAR);
    if (chars + 32 >= PATH_MAX_CHARS) return STATUS_NAME_TOO_LONG;
    RtlCopyMemory(servicePath, registryPath->Buffer, chars * sizeof(WCHAR));
    servicePathChars = chars;
    servicePath[chars] = 0;
    KeInitializeEvent(&logLock, SynchronizationEvent, TRUE);

    status = IoCreateDevice(driver, 0, &deviceName, 0x7434, 0, FALSE, &queryDevice);
    if (!NT_SUCCESS(status)) return status;
    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(queryDevice);
        queryDevice = NULL;
        return status;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = dispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatchOpenClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatchControl;
    driver->DriverUnload = unloadDriver;
    DbgPrint("kveldnav: device ready\n");
    return STATUS_SUCCESS;
}
