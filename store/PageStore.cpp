#include "store/PageStore.h"

#include "codec/dib.h"
#include "codec/reduce.h"

#include <io.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

CPageStore* g_pPageStore = nullptr;

namespace {

const WORD kBmpMagic = 0x4D42; // "BM"
static_assert(sizeof(BITMAPFILEHEADER) == 14, "BMP file header layout");

BOOL ReadAt(HANDLE hFile, ULONGLONG offset, void* pBuf, DWORD cb)
{
    LARGE_INTEGER to;
    to.QuadPart = (LONGLONG)offset;
    if (!::SetFilePointerEx(hFile, to, nullptr, FILE_BEGIN))
        return FALSE;
    DWORD cbRead = 0;
    return ::ReadFile(hFile, pBuf, cb, &cbRead, nullptr) && cbRead == cb;
}

ULONGLONG FileBytes(HANDLE hFile)
{
    LARGE_INTEGER size;
    return ::GetFileSizeEx(hFile, &size) ? (ULONGLONG)size.QuadPart : 0;
}

// The packed DIB of a locked scanner block as page files hold it: L = 40 + P +
// biSizeImage bytes, counted in 64 bits on every build; 0 when the block is
// shorter than its header says or L would not fit a BMP file.
DWORD PackedDibBytes(const BITMAPINFOHEADER* pbi, SIZE_T cbBlock)
{
    if (!pbi || cbBlock < sizeof(BITMAPINFOHEADER))
        return 0;
    ULONGLONG cb = sizeof(BITMAPINFOHEADER) + (ULONGLONG)DibPaletteBytes(pbi) + pbi->biSizeImage;
    if (cb > cbBlock || cb > MAXDWORD - sizeof(BITMAPFILEHEADER))
        return 0;
    return (DWORD)cb;
}

} // namespace

DWORD DibPaletteBytes(const BITMAPINFOHEADER* pbi) { return (DWORD)codec::PagePaletteBytes(pbi->biBitCount); }

CPageStore::CPageStore() : m_hPageFiles(1, nullptr) {}

CPageStore::~CPageStore()
{
    for (HANDLE h : m_hPageFiles)
        if (h && h != INVALID_HANDLE_VALUE)
            ::CloseHandle(h);
}

void CPageStore::GrowPageTable() { m_hPageFiles.push_back(nullptr); }

void CPageStore::ReleasePage(int index)
{
    if (index < 0 || index >= (int)m_hPageFiles.size())
        return;
    HANDLE& h = m_hPageFiles[index];
    if (h && h != INVALID_HANDLE_VALUE)
        ::CloseHandle(h);
    h = nullptr;
}

BOOL CPageStore::HoldPage(const char* pszPath, int index)
{
    if (index < 0)
        return FALSE;
    HANDLE h = ::CreateFileA(pszPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    ReleasePage(index);
    if (index >= (int)m_hPageFiles.size())
        m_hPageFiles.resize(index + 1, nullptr);
    m_hPageFiles[index] = h;
    return TRUE;
}

HANDLE CPageStore::PageHandle(int index) const
{
    if (index < 0 || index >= (int)m_hPageFiles.size())
        return nullptr;
    return m_hPageFiles[index];
}

BOOL CPageStore::WritePage(HGLOBAL hDib, const char* pszPath, int index)
{
    if (!hDib || !pszPath || index < 0)
        return FALSE;
    const BITMAPINFOHEADER* pbi = static_cast<const BITMAPINFOHEADER*>(::GlobalLock(hDib));
    if (!pbi)
        return FALSE;
    DWORD cbDib = PackedDibBytes(pbi, ::GlobalSize(hDib));
    if (cbDib == 0) {
        ::GlobalUnlock(hDib);
        return FALSE;
    }
    DWORD cbPalette = DibPaletteBytes(pbi);

    if (index >= (int)m_hPageFiles.size())
        m_hPageFiles.resize(index + 1, nullptr);
    HANDLE hFile =
        ::CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    m_hPageFiles[index] = hFile;
    if (hFile == INVALID_HANDLE_VALUE) {
        ::GlobalUnlock(hDib);
        return FALSE;
    }

    BITMAPFILEHEADER fh = {kBmpMagic, 14 + cbDib, 0, 0, 54 + cbPalette};
    DWORD cbWritten = 0;
    BOOL bOk = ::WriteFile(hFile, &fh, sizeof fh, &cbWritten, nullptr) && cbWritten == sizeof fh;
    if (bOk)
        bOk = ::WriteFile(hFile, pbi, cbDib, &cbWritten, nullptr) && cbWritten == cbDib;
    ::GlobalUnlock(hDib);
    if (!bOk) {
        // No partial page file is left behind.
        ReleasePage(index);
        ::DeleteFileA(pszPath);
        return FALSE;
    }
    return TRUE;
}

HLOCAL CPageStore::CopyDib(HGLOBAL hDib)
{
    if (!hDib)
        return nullptr;
    const BITMAPINFOHEADER* pbi = static_cast<const BITMAPINFOHEADER*>(::GlobalLock(hDib));
    if (!pbi)
        return nullptr;
    DWORD cb = PackedDibBytes(pbi, ::GlobalSize(hDib));
    HLOCAL hCopy = cb ? ::LocalAlloc(LMEM_ZEROINIT, cb) : nullptr;
    if (hCopy) {
        void* p = ::LocalLock(hCopy);
        memcpy(p, pbi, cb);
        ::LocalUnlock(hCopy);
    }
    ::GlobalUnlock(hDib);
    return hCopy;
}

HLOCAL ReadPageBody(HANDLE hFile)
{
    BITMAPFILEHEADER fh;
    if (!ReadAt(hFile, 0, &fh, sizeof fh) || fh.bfType != kBmpMagic || fh.bfSize <= sizeof fh ||
        fh.bfSize > FileBytes(hFile))
        return nullptr;
    DWORD cb = fh.bfSize - (DWORD)sizeof fh;
    HLOCAL hDib = ::LocalAlloc(LMEM_ZEROINIT, cb);
    if (!hDib)
        return nullptr;
    BYTE* p = static_cast<BYTE*>(::LocalLock(hDib));
    DWORD cbRead = 0;
    BOOL bOk = ::ReadFile(hFile, p, cb, &cbRead, nullptr) && cbRead == cb;
    // Whoever draws or writes the page reads header, colour table and rows
    // within this block: a body that does not hold them is no page.
    codec::ImageView view;
    bOk = bOk && codec::ParsePageDib(p, cb, &view) == codec::DibError::None;
    ::LocalUnlock(hDib);
    if (!bOk) {
        ::LocalFree(hDib);
        return nullptr;
    }
    return hDib;
}

HLOCAL CPageStore::ReadPage(const char* pszPath, int index)
{
    if (!pszPath)
        return nullptr;
    HANDLE hFile = PageHandle(index);
    if (!hFile || hFile == INVALID_HANDLE_VALUE)
        return nullptr;
    return ReadPageBody(hFile);
}

HLOCAL CPageStore::ReadPageReduced(const char* pszPath, int index)
{
    if (!pszPath)
        return nullptr;
    _chmod(pszPath, _S_IREAD | _S_IWRITE);
    HANDLE hFile = PageHandle(index);
    if (!hFile || hFile == INVALID_HANDLE_VALUE)
        return nullptr;
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER bi;
    if (!ReadAt(hFile, 0, &fh, sizeof fh) || fh.bfType != kBmpMagic)
        return nullptr;
    DWORD cbRead = 0;
    if (!::ReadFile(hFile, &bi, sizeof bi, &cbRead, nullptr) || cbRead != sizeof bi)
        return nullptr;
    codec::Reduction plan;
    if (!codec::PlanReduction(bi.biWidth, bi.biHeight, &plan))
        return ReadPage(pszPath, index);
    // A reduced page is a small fraction of its file; a header that claims
    // more must not size the block.
    const ULONGLONG cbReduced = codec::ReducedDibSize(plan);
    if (cbReduced > FileBytes(hFile))
        return nullptr;

    std::vector<BYTE> row;
    try {
        row.resize(plan.srcStride);
    } catch (...) {
        return nullptr;
    }
    HLOCAL hDst = ::LocalAlloc(LMEM_ZEROINIT, (SIZE_T)cbReduced);
    if (!hDst)
        return nullptr;
    BYTE* pDst = static_cast<BYTE*>(::LocalLock(hDst));
    codec::WriteReducedHeader(plan, bi.biXPelsPerMeter, bi.biYPelsPerMeter, pDst);
    // One seek and one read per reduced row: only the first row of each band is used.
    auto read = [](void* context, uint64_t offset, uint8_t* pRow, size_t cb) {
        return ReadAt(static_cast<HANDLE>(context), offset, pRow, (DWORD)cb) != FALSE;
    };
    const bool ok = codec::ReduceRows(plan, fh.bfOffBits, bi.biSizeImage, read, hFile, row.data(), pDst);
    ::LocalUnlock(hDst);
    if (!ok) {
        ::LocalFree(hDst);
        return nullptr;
    }
    return hDst;
}

BOOL CPageStore::BuildPathName(char* pszOut, const char* pszFolder, const char* pszPrefix, int n)
{
    if (!pszOut || !pszFolder)
        return FALSE;
    size_t len = strnlen(pszFolder, 256);
    char last = len > 0 ? pszFolder[len - 1] : pszFolder[0];
    snprintf(pszOut, 256, last == '\\' ? "%s%s%d.bmp" : "%s\\%s%d.bmp", pszFolder, pszPrefix ? pszPrefix : "", n);
    return TRUE;
}

BOOL CPageStore::DeleteAllPages(const char* pszFolder, const char* pszPrefix, int count)
{
    char szName[256];
    for (int n = 1; n <= count; ++n) {
        BuildPathName(szName, pszFolder, pszPrefix, n);
        if (_access(szName, 0) != 0)
            continue;
        if (PageHandle(n - 1)) {
            _chmod(szName, _S_IREAD | _S_IWRITE);
            ReleasePage(n - 1);
        }
        ::DeleteFileA(szName);
    }
    // Handles of pages whose files vanished are still ours to close.
    for (int i = 0; i < (int)m_hPageFiles.size(); ++i)
        ReleasePage(i);
    m_hPageFiles.assign(1, nullptr);
    return TRUE;
}

BOOL CPageStore::IsFileOpenable(const char* pszPath)
{
    HANDLE h = ::CreateFileA(pszPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    ::CloseHandle(h);
    return TRUE;
}
