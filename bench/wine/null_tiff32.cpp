// A TIFF32.dll that codes and writes nothing, only creating the named file:
// exporting through it measures what the export engine itself costs a page.
#include <windows.h>

extern "C" int WINAPI Tiff32WritePage(const char* fileName, HLOCAL page, int /*compression*/, int /*reserved*/)
{
    if (fileName == nullptr || page == nullptr)
        return 0;
    HANDLE h =
        CreateFileA(fileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(h);
    return 1;
}
