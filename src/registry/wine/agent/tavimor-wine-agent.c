/* SPDX-License-Identifier: GPL-3.0-or-later */
/* Runs inside a Wine prefix and answers registry requests on its standard input, one per line, so
 * that a whole command costs one Wine process instead of one "reg" per step. Every text of a
 * request is UTF-16LE in hex, "-" for an empty one (the default value):
 *   E key                 the key and everything below it, as a version 5 .reg file in UTF-16LE
 *   Q key [name]          whether the key is there; with a name, the value's type (4 bytes) and data
 *   S key name type data  makes the key where missing and sets the value (data as stored, in hex)
 *   D key name            deletes the value
 *   K key                 makes the key where missing
 * Each answer is "status length\n" and length bytes; the status is the registry function's.
 * Idle for a moment, it says "bye" and ends, so that the prefix's server may end too: a request
 * it has not answered before "bye" goes to the next agent. */
#define WIN32_LEAN_AND_MEAN
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

static HANDLE out;
/* Held while requests are served and while the watchdog decides to end: what was served is
 * answered before "bye", and nothing is served after it. */
static CRITICAL_SECTION serving;
static DWORD lastRequest;
enum { kIdleMs = 2000 };

typedef struct {
    unsigned char* bytes;
    size_t size, capacity;
} Buffer;

static int grow(Buffer* b, size_t more) {
    if (b->size + more <= b->capacity)
        return 1;
    size_t capacity = b->capacity ? b->capacity : 4096;
    while (capacity < b->size + more)
        capacity *= 2;
    unsigned char* bytes = realloc(b->bytes, capacity);
    if (!bytes)
        return 0;
    b->bytes = bytes;
    b->capacity = capacity;
    return 1;
}

static int put(Buffer* b, const void* bytes, size_t size) {
    if (!grow(b, size))
        return 0;
    memcpy(b->bytes + b->size, bytes, size);
    b->size += size;
    return 1;
}

static int putText(Buffer* b, const wchar_t* text) {
    return put(b, text, wcslen(text) * sizeof(wchar_t));
}

static int writeAll(const void* bytes, size_t size) {
    const char* at = bytes;
    while (size) {
        DWORD done = 0;
        if (!WriteFile(out, at, size > 0x100000 ? 0x100000 : (DWORD)size, &done, NULL) || !done)
            return 0;
        at += done;
        size -= done;
    }
    return 1;
}

static int answer(LONG status, const Buffer* body) {
    char head[48];
    size_t size = body ? body->size : 0;
    int length = snprintf(head, sizeof head, "%ld %llu\n", (long)status, (unsigned long long)size);
    return writeAll(head, (size_t)length) && (!size || writeAll(body->bytes, size));
}

static int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/* A hex field decoded into a buffer of its own, ending in two zero bytes so that a text in it is a
 * terminated wide text; NULL when it is not hex. */
static unsigned char* decode(const char* field, long* size) {
    size_t length = strcmp(field, "-") == 0 ? 0 : strlen(field);
    if (length % 2)
        return NULL;
    unsigned char* bytes = calloc(length / 2 + 2, 1);
    for (size_t i = 0; bytes && i < length; i += 2) {
        int high = hexDigit(field[i]), low = hexDigit(field[i + 1]);
        if (high < 0 || low < 0) {
            free(bytes);
            return NULL;
        }
        bytes[i / 2] = (unsigned char)(high << 4 | low);
    }
    *size = (long)(length / 2);
    return bytes;
}

static HKEY root(const wchar_t** path) {
    static const struct {
        const wchar_t* name;
        HKEY key;
    } roots[] = {{L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
                 {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
                 {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
                 {L"HKEY_USERS", HKEY_USERS}};
    for (size_t i = 0; i < sizeof roots / sizeof *roots; ++i) {
        size_t length = wcslen(roots[i].name);
        if (_wcsnicmp(*path, roots[i].name, length) == 0 && ((*path)[length] == L'\\' || !(*path)[length])) {
            *path += length + ((*path)[length] == L'\\');
            return roots[i].key;
        }
    }
    return NULL;
}

static int putQuoted(Buffer* b, const wchar_t* text) {
    if (!putText(b, L"\""))
        return 0;
    for (; *text; ++text) {
        if ((*text == L'\\' || *text == L'"') && !putText(b, L"\\"))
            return 0;
        if (!put(b, text, sizeof(wchar_t)))
            return 0;
    }
    return putText(b, L"\"");
}

/* Every value as hex(type): the bytes exactly as the registry holds them. */
static int putValue(Buffer* b, const wchar_t* name, DWORD type, const unsigned char* data, DWORD size) {
    static const wchar_t digits[] = L"0123456789abcdef";
    wchar_t head[16] = L"=hex(";
    size_t at = 5;
    for (int shift = 28; shift >= 0; shift -= 4)
        if (type >> shift || !shift)
            head[at++] = digits[type >> shift & 15];
    head[at++] = L')';
    head[at++] = L':';
    if (!(*name ? putQuoted(b, name) : putText(b, L"@")) || !put(b, head, at * sizeof(wchar_t)))
        return 0;
    for (DWORD i = 0; i < size; ++i) {
        const wchar_t byte[3] = {digits[data[i] >> 4], digits[data[i] & 15], L','};
        if (!put(b, byte, (i + 1 < size ? 3 : 2) * sizeof(wchar_t)))
            return 0;
    }
    return putText(b, L"\r\n");
}

static LONG exportKey(Buffer* b, HKEY key, const wchar_t* path, size_t pathLength) {
    if (!putText(b, L"[") || !putText(b, path) || !putText(b, L"]\r\n"))
        return ERROR_OUTOFMEMORY;
    DWORD longestName = 0, longestData = 0, longestSub = 0;
    LONG status = RegQueryInfoKeyW(key, NULL, NULL, NULL, NULL, &longestSub, NULL, NULL, &longestName,
                                   &longestData, NULL, NULL);
    if (status)
        return status;
    wchar_t* name = malloc((longestName + 1 + longestSub + 1) * sizeof(wchar_t));
    unsigned char* data = malloc(longestData + 2);
    if (!name || !data) {
        free(name);
        free(data);
        return ERROR_OUTOFMEMORY;
    }
    for (DWORD i = 0; !status; ++i) {
        DWORD nameSize = longestName + 1, dataSize = longestData, type = 0;
        status = RegEnumValueW(key, i, name, &nameSize, NULL, &type, data, &dataSize);
        if (!status && !putValue(b, name, type, data, dataSize))
            status = ERROR_OUTOFMEMORY;
    }
    if (status == ERROR_NO_MORE_ITEMS)
        status = putText(b, L"\r\n") ? ERROR_SUCCESS : ERROR_OUTOFMEMORY;
    for (DWORD i = 0; !status; ++i) {
        DWORD nameSize = longestSub + 1;
        status = RegEnumKeyExW(key, i, name, &nameSize, NULL, NULL, NULL, NULL);
        if (status)
            break;
        size_t length = pathLength + 1 + nameSize;
        wchar_t* child = malloc((length + 1) * sizeof(wchar_t));
        HKEY sub = NULL;
        if (!child) {
            status = ERROR_OUTOFMEMORY;
            break;
        }
        memcpy(child, path, pathLength * sizeof(wchar_t));
        child[pathLength] = L'\\';
        memcpy(child + pathLength + 1, name, (nameSize + 1) * sizeof(wchar_t));
        status = RegOpenKeyExW(key, name, 0, KEY_READ, &sub);
        if (!status) {
            status = exportKey(b, sub, child, length);
            RegCloseKey(sub);
        }
        free(child);
    }
    free(name);
    free(data);
    return status == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : status;
}

static LONG run(char kind, HKEY hive, const wchar_t* full, const wchar_t* path, char** fields, int count,
                Buffer* b) {
    HKEY key = NULL;
    long nameSize = 0, size = 0;
    wchar_t* name = count >= 3 ? (wchar_t*)decode(fields[2], &nameSize) : NULL;
    unsigned char* data = count == 5 ? decode(fields[4], &size) : NULL;
    LONG status = ERROR_INVALID_PARAMETER;
    if (kind == 'E') {
        status = RegOpenKeyExW(hive, path, 0, KEY_READ, &key);
        if (!status)
            status = put(b, "\xff\xfe", 2) && putText(b, L"Windows Registry Editor Version 5.00\r\n\r\n")
                         ? exportKey(b, key, full, wcslen(full))
                         : ERROR_OUTOFMEMORY;
    } else if (kind == 'Q') {
        status = RegOpenKeyExW(hive, path, 0, KEY_READ, &key);
        DWORD type = 0, stored = 0;
        if (!status && name)
            status = RegQueryValueExW(key, name, NULL, &type, NULL, &stored);
        if (!status && name) {
            status = grow(b, 4 + stored) ? RegQueryValueExW(key, name, NULL, &type, b->bytes + 4, &stored)
                                         : ERROR_OUTOFMEMORY;
            if (!status) {
                memcpy(b->bytes, &type, 4);
                b->size = 4 + stored;
            }
        }
    } else if (kind == 'K') {
        status = RegCreateKeyExW(hive, path, 0, NULL, 0, KEY_READ, NULL, &key, NULL);
    } else if (kind == 'S' && name && data && nameSize % 2 == 0) {
        status = RegCreateKeyExW(hive, path, 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL);
        if (!status)
            status = RegSetValueExW(key, name, 0, strtoul(fields[3], NULL, 16), data, (DWORD)size);
    } else if (kind == 'D' && name && nameSize % 2 == 0) {
        status = RegOpenKeyExW(hive, path, 0, KEY_SET_VALUE, &key);
        if (!status)
            status = RegDeleteValueW(key, name);
    }
    if (key)
        RegCloseKey(key);
    free(name);
    free(data);
    return status;
}

static int serve(char* line) {
    char* fields[5] = {0};
    int count = 0;
    for (char* at = line; count < 5 && at;) {
        fields[count++] = at;
        at = strchr(at, ' ');
        if (at)
            *at++ = 0;
    }
    if (count < 2 || strlen(fields[0]) != 1)
        return answer(ERROR_INVALID_PARAMETER, NULL);
    long size = 0;
    wchar_t* full = (wchar_t*)decode(fields[1], &size);
    const wchar_t* path = full;
    HKEY hive = full && size % 2 == 0 ? root(&path) : NULL;
    Buffer b = {0};
    LONG status = hive ? run(fields[0][0], hive, full, path, fields, count, &b) : ERROR_BAD_PATHNAME;
    int sent = answer(status, status ? NULL : &b);
    free(b.bytes);
    free(full);
    return sent;
}

static DWORD WINAPI watchdog(LPVOID unused) {
    (void)unused;
    for (;;) {
        Sleep(100);
        EnterCriticalSection(&serving);
        if (GetTickCount() - lastRequest > kIdleMs) {
            writeAll("bye\n", 4);
            ExitProcess(0);
        }
        LeaveCriticalSection(&serving);
    }
}

int main(void) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    out = GetStdHandle(STD_OUTPUT_HANDLE);
    InitializeCriticalSection(&serving);
    lastRequest = GetTickCount();
    HANDLE thread = CreateThread(NULL, 0, watchdog, NULL, 0, NULL);
    if (!thread)
        return 1;
    CloseHandle(thread);
    Buffer line = {0};
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, chunk, sizeof chunk, &got, NULL) || !got)
            break;
        EnterCriticalSection(&serving);
        for (DWORD i = 0; i < got; ++i) {
            if (chunk[i] != '\n') {
                if (!put(&line, &chunk[i], 1))
                    return 1;
                continue;
            }
            if (!put(&line, "\0", 1) || !serve((char*)line.bytes))
                return 1;
            line.size = 0;
        }
        lastRequest = GetTickCount();
        LeaveCriticalSection(&serving);
    }
    free(line.bytes);
    return 0;
}
