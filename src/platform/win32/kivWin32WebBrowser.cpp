#include "platform/win32/kivWin32WebBrowser.h"

#include <exdisp.h>
#include <ocidl.h>
#include <oleidl.h>

#include <string>

#include "base/kivException.h"

namespace kivPlatform {
namespace {

// Reference counting shared by the COM objects below.
template <typename T> class TComObject {
public:
  ULONG AddRefImpl() { return static_cast<ULONG>(InterlockedIncrement(&Refs)); }
  ULONG ReleaseImpl() {
    const LONG N = InterlockedDecrement(&Refs);
    if (N == 0) delete static_cast<T*>(this);
    return static_cast<ULONG>(N);
  }

private:
  LONG Refs = 1;
};

// The container's side of the control: client site, in-place site and in-place frame, all
// answering for the one window that holds the control.
class TContainerSite final : public IOleClientSite,
                             public IOleInPlaceSite,
                             public IOleInPlaceFrame,
                             public TComObject<TContainerSite> {
public:
  explicit TContainerSite(HWND Window) : Window(Window) {}
  virtual ~TContainerSite() = default;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Iid, void** Object) override {
    if (!Object) return E_POINTER;
    if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_IOleClientSite))
      *Object = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(Iid, IID_IOleWindow) || IsEqualIID(Iid, IID_IOleInPlaceSite))
      *Object = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(Iid, IID_IOleInPlaceUIWindow) || IsEqualIID(Iid, IID_IOleInPlaceFrame))
      *Object = static_cast<IOleInPlaceFrame*>(this);
    else {
      *Object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** Moniker) override {
    if (Moniker) *Moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** Container) override {
    if (Container) *Container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* Result) override {
    if (!Result) return E_POINTER;
    *Result = Window;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** Frame, IOleInPlaceUIWindow** Doc,
                                             LPRECT PosRect, LPRECT ClipRect,
                                             LPOLEINPLACEFRAMEINFO FrameInfo) override {
    if (Frame) {
      *Frame = this;
      AddRef();
    }
    if (Doc) *Doc = nullptr;
    if (PosRect) GetClientRect(Window, PosRect);
    if (ClipRect) GetClientRect(Window, ClipRect);
    if (FrameInfo) {
      FrameInfo->fMDIApp = FALSE;
      FrameInfo->hwndFrame = Window;
      FrameInfo->haccel = nullptr;
      FrameInfo->cAccelEntries = 0;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
    return INPLACE_E_NOTOOLSPACE;
  }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override {
    return S_OK;
  }

  // IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
  HWND Window;
};

// An IStream over a stream of ours, not owning it. The document may go on reading after the
// call that handed it the stream; Detach then gives the adapter a copy of its own to read.
class TStreamAdapter final : public IStream, public TComObject<TStreamAdapter> {
public:
  explicit TStreamAdapter(TStream& Source) : Source(&Source) {}
  virtual ~TStreamAdapter() = default;

  void Detach() {
    if (Source == &Copy) return;
    const int64_t Position = Source->GetPosition();
    Source->SetPosition(0);
    Copy.CopyFrom(*Source, Source->GetSize());
    Source->SetPosition(Position);
    Copy.SetPosition(Position);
    Source = &Copy;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID Iid, void** Object) override {
    if (!Object) return E_POINTER;
    if (IsEqualIID(Iid, IID_IUnknown) || IsEqualIID(Iid, IID_ISequentialStream) ||
        IsEqualIID(Iid, IID_IStream)) {
      *Object = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *Object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  HRESULT STDMETHODCALLTYPE Read(void* Buffer, ULONG Count, ULONG* Done) override {
    if (!Buffer) return STG_E_INVALIDPOINTER;
    const int64_t N = Source->Read(Buffer, Count);
    if (Done) *Done = static_cast<ULONG>(N);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG* Done) override {
    if (Done) *Done = 0;
    return STG_E_ACCESSDENIED;
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER Move, DWORD Origin,
                                 ULARGE_INTEGER* NewPosition) override {
    int64_t Base;
    switch (Origin) {
    case STREAM_SEEK_SET:
      Base = 0;
      break;
    case STREAM_SEEK_CUR:
      Base = Source->GetPosition();
      break;
    case STREAM_SEEK_END:
      Base = Source->GetSize();
      break;
    default:
      return STG_E_INVALIDFUNCTION;
    }
    const int64_t Position = Base + Move.QuadPart;
    if (Position < 0) return STG_E_INVALIDFUNCTION;
    Source->SetPosition(Position);
    if (NewPosition) NewPosition->QuadPart = static_cast<ULONGLONG>(Position);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                   ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return STG_E_REVERTED; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* Stat, DWORD) override {
    if (!Stat) return STG_E_INVALIDPOINTER;
    *Stat = STATSTG{};
    Stat->type = STGTY_STREAM;
    Stat->cbSize.QuadPart = static_cast<ULONGLONG>(Source->GetSize());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IStream** Result) override {
    if (Result) *Result = nullptr;
    return E_NOTIMPL;
  }

private:
  TStream* Source;
  TMemoryStream Copy;
};

template <typename T> struct TReleaser {
  void operator()(T* Object) const { Object->Release(); }
};
template <typename T> using TComPtr = std::unique_ptr<T, TReleaser<T>>;

class TBrowser final : public TWin32WebBrowser {
public:
  explicit TBrowser(HWND Parent) : Parent(Parent) {}

  ~TBrowser() override {
    if (Browser) Browser->Stop();
    Browser.reset();
    if (Object) {
      IOleInPlaceObject* InPlace = nullptr;
      if (SUCCEEDED(
              Object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&InPlace)))) {
        InPlace->InPlaceDeactivate();
        InPlace->Release();
      }
      Object->Close(OLECLOSE_NOSAVE);
      Object->SetClientSite(nullptr);
    }
    Object.reset();
    Site.reset();
  }

  bool Open() {
    IOleObject* Created = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&Created))))
      return false;
    Object.reset(Created);
    Site.reset(new TContainerSite(Parent));
    if (FAILED(Object->SetClientSite(Site.get()))) return false;
    Object->SetHostNames(L"kivMrkWLX", nullptr);
    OleSetContainedObject(Object.get(), TRUE);
    RECT Client{};
    GetClientRect(Parent, &Client);
    if (FAILED(Object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, Site.get(), 0, Parent, &Client)))
      return false;
    IWebBrowser2* Found = nullptr;
    if (FAILED(Object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&Found))))
      return false;
    Browser.reset(Found);
    return true;
  }

  void Navigate(const std::string& URL) override {
    const std::wstring Wide(URL.begin(), URL.end());
    BSTR Text = SysAllocString(Wide.c_str());
    VARIANT Empty;
    VariantInit(&Empty);
    const HRESULT Result = Browser->Navigate(Text, &Empty, &Empty, &Empty, &Empty);
    SysFreeString(Text);
    if (FAILED(Result)) throw Exception("The browser control cannot navigate to " + URL);
  }

  uint32_t ReadyState() override {
    READYSTATE State = READYSTATE_UNINITIALIZED;
    return SUCCEEDED(Browser->get_ReadyState(&State)) ? static_cast<uint32_t>(State) : 0;
  }

  bool LoadDocument(TStream& Stream) override {
    IDispatch* Found = nullptr;
    if (FAILED(Browser->get_Document(&Found)) || !Found) return false;
    const TComPtr<IDispatch> Document(Found);
    IPersistStreamInit* Persist = nullptr;
    if (FAILED(
            Document->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&Persist))))
      throw Exception("The document cannot load from a stream");
    const TComPtr<IPersistStreamInit> Loader(Persist);
    const TComPtr<TStreamAdapter> Adapter(new TStreamAdapter(Stream));
    const HRESULT Result = Loader->Load(Adapter.get());
    Adapter->Detach();
    if (FAILED(Result)) throw Exception("The document cannot load the page");
    return true;
  }

  void Resize(int Width, int Height) override {
    IOleInPlaceObject* InPlace = nullptr;
    if (!Object ||
        FAILED(Object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&InPlace))))
      return;
    const RECT Rect{0, 0, Width, Height};
    InPlace->SetObjectRects(&Rect, &Rect);
    InPlace->Release();
  }

  void Focus() override {
    RECT Client{};
    GetClientRect(Parent, &Client);
    if (Object) Object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, Site.get(), 0, Parent, &Client);
  }

private:
  HWND Parent;
  TComPtr<TContainerSite> Site;
  TComPtr<IOleObject> Object;
  TComPtr<IWebBrowser2> Browser;
};

} // namespace

std::unique_ptr<TWin32WebBrowser> CreateWin32WebBrowser(HWND Parent) {
  auto Browser = std::make_unique<TBrowser>(Parent);
  if (!Browser->Open()) return nullptr;
  return Browser;
}

} // namespace kivPlatform
