// PNG encoding with the Windows Imaging Component (windowscodecs.dll), into memory,
// so the Windows build needs no libpng. The picture is handed over as 24-bit BGR,
// the PNG encoder's own layout.
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <cstdio>

#include "gfx/png.h"

namespace {

// Release a COM interface when it goes out of scope.
template <typename T>
struct Released {
  T* pointer = nullptr;  // the interface, or null
  ~Released() {
    if (pointer != nullptr) pointer->Release();
  }
};

// COM for this thread, for as long as the encoding lasts (kept if it was already on).
struct ComSession {
  HRESULT status = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  ~ComSession() {
    if (SUCCEEDED(status)) CoUninitialize();
  }
  // True when COM can be used: started here or already started by the program.
  bool usable() const { return SUCCEEDED(status) || status == RPC_E_CHANGED_MODE; }
};

// Describe a failed step with its HRESULT.
Text failure(const char* step, HRESULT status) {
  char text[96];
  std::snprintf(text, sizeof text, "WIC: %s failed (0x%08lX)", step, static_cast<unsigned long>(status));
  return text;
}

// Copy the image into 24-bit BGR rows, top row first, as the PNG encoder takes them.
std::string bgr_rows(const RgbImage& image) {
  std::string bgr(image.bytes.size(), '\0');
  for (size_t i = 0; i + 2 < image.bytes.size(); i += 3) {
    bgr[i] = static_cast<char>(image.bytes[i + 2]);
    bgr[i + 1] = static_cast<char>(image.bytes[i + 1]);
    bgr[i + 2] = static_cast<char>(image.bytes[i]);
  }
  return bgr;
}

// Read the whole of a memory stream into `out`.
HRESULT stream_bytes(IStream* stream, std::string& out) {
  STATSTG stat{};
  HRESULT status = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(status)) return status;
  out.resize(static_cast<size_t>(stat.cbSize.QuadPart));
  LARGE_INTEGER start{};
  status = stream->Seek(start, STREAM_SEEK_SET, nullptr);
  if (FAILED(status)) return status;
  ULONG read = 0;
  status = stream->Read(out.data(), static_cast<ULONG>(out.size()), &read);
  if (SUCCEEDED(status) && read != out.size()) status = E_FAIL;
  return status;
}

}  // namespace

bool encode_png(const RgbImage& image, std::string& out, Text& error) {
  out.clear();
  ComSession com;
  if (!com.usable()) {
    error = failure("CoInitializeEx", com.status);
    return false;
  }
  Released<IWICImagingFactory> factory;
  Released<IStream> stream;
  Released<IWICBitmapEncoder> encoder;
  Released<IWICBitmapFrameEncode> frame;
  HRESULT status = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&factory.pointer));
  if (FAILED(status)) return error = failure("CoCreateInstance", status), false;
  status = CreateStreamOnHGlobal(nullptr, TRUE, &stream.pointer);
  if (FAILED(status)) return error = failure("CreateStreamOnHGlobal", status), false;
  status = factory.pointer->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder.pointer);
  if (SUCCEEDED(status)) status = encoder.pointer->Initialize(stream.pointer, WICBitmapEncoderNoCache);
  if (SUCCEEDED(status)) status = encoder.pointer->CreateNewFrame(&frame.pointer, nullptr);
  if (SUCCEEDED(status)) status = frame.pointer->Initialize(nullptr);
  if (SUCCEEDED(status)) status = frame.pointer->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height));
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (SUCCEEDED(status)) status = frame.pointer->SetPixelFormat(&format);
  if (SUCCEEDED(status) && format != GUID_WICPixelFormat24bppBGR) status = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  if (FAILED(status)) return error = failure("the PNG encoder's set-up", status), false;
  std::string bgr = bgr_rows(image);
  const UINT stride = static_cast<UINT>(image.width) * 3;
  status = frame.pointer->WritePixels(static_cast<UINT>(image.height), stride, static_cast<UINT>(bgr.size()),
                                      reinterpret_cast<BYTE*>(bgr.data()));
  if (SUCCEEDED(status)) status = frame.pointer->Commit();
  if (SUCCEEDED(status)) status = encoder.pointer->Commit();
  if (FAILED(status)) return error = failure("encoding the picture", status), false;
  status = stream_bytes(stream.pointer, out);
  if (FAILED(status)) return error = failure("reading the encoded picture", status), false;
  return true;
}
