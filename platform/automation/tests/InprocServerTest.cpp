#include <dlfcn.h>
#include <gtest/gtest.h>

#include <functional>

#include "automation/ClassRegistry.h"
#include "automation/Conversions.h"
#include "automation/EventSource.h"
#include "automation/InprocServer.h"
#include "automation/ServerLoader.h"
#include "automation/Utf.h"
#include "registry/HiveStore.h"
#include "registry/tests/TempHive.h"

namespace telvinor::automation {
namespace {

using telvinor::testing::TempHive;

const Guid kEchoClass = Guid::FromString("{33b0df4f-a984-4530-ac31-3691314ee6c8}");

// The sample server's entry points, as regsvr finds them.
struct SampleServer {
  SampleServer() : handle(dlopen(TELVINOR_SAMPLE_SERVER, RTLD_NOW | RTLD_LOCAL)) {
    EXPECT_NE(handle, nullptr) << dlerror();
  }
  std::int32_t Call(const char* entry) const {
    auto* fn = reinterpret_cast<entrypoint::RegisterFunction*>(dlsym(handle, entry));
    EXPECT_NE(fn, nullptr) << entry;
    return fn ? fn() : -1;
  }
  void* handle;
};

// The default value of a key below HKEY_CLASSES_ROOT, or "(none)".
std::u16string ClassesDefault(std::u16string_view path) {
  std::u16string text = u"(none)";
  auto status = registry::HiveStore::Current().Read([&](const registry::Hive& hive) {
    const auto* key = hive.Find(*registry::RootByHandle(registry::HKEY_CLASSES_ROOT),
                                registry::SplitKeyPath(path).names);
    if (const auto* v = key ? key->Value(u"") : nullptr) {
      text = registry::Utf16OfData(v->data);
      text.pop_back();
    }
  });
  EXPECT_EQ(status, registry::StoreStatus::Ok);
  return text;
}

TEST(InprocServer, RegistersItsClassesAndIsCreatedByProgIdAndClassId) {
  TempHive hive;
  SampleServer server;
  EXPECT_EQ(CreateServerObject(u"TelvinorSample.Echo").failure,
            "no class is registered as TelvinorSample.Echo");
  ASSERT_EQ(server.Call("DllRegisterServer"), hresult::kOk);

  char resolved[PATH_MAX];
  ASSERT_NE(realpath(TELVINOR_SAMPLE_SERVER, resolved), nullptr);
  EXPECT_EQ(ClassesDefault(u"TelvinorSample.Echo\\CLSID"), kEchoClass.ToString());
  EXPECT_EQ(ClassesDefault(u"CLSID\\{33b0df4f-a984-4530-ac31-3691314ee6c8}\\InprocServer32"),
            FromUtf8(resolved));
  EXPECT_EQ(ClassesDefault(u"CLSID\\{71deac0f-2f2c-4102-a72c-87ef2f14b19f}\\ProgID"),
            u"TelvinorSample.Counter");
  EXPECT_NE(hive.Text().find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\TelvinorSample.Echo\\CLSID]"),
            std::string::npos);

  Ref<Dispatch> echo = CreateObject(u"telvinorsample.echo");
  EXPECT_EQ(echo->TypeName(), u"Echo");
  Ref<Dispatch> byId = CreateObject(kEchoClass);
  EXPECT_NE(byId.get(), echo.get());
  Ref<Dispatch> counter = CreateObject(u"TelvinorSample.Counter");
  Variant by[] = {Variant(5)};
  EXPECT_EQ(CallByName(*counter, u"Increment", InvokeKind::Method, by), Variant(5));
  EXPECT_EQ(CallByName(*counter, u"Increment", InvokeKind::Method, {}), Variant(6));
}

TEST(InprocServer, ObjectsAnswerByNameAndIdRaiseEventsAndWriteBack) {
  TempHive hive;
  SampleServer server;
  ASSERT_EQ(server.Call("DllRegisterServer"), hresult::kOk);
  Ref<Dispatch> echo = CreateObject(u"TelvinorSample.Echo");

  Variant text[] = {Variant(u"agent 7")};
  EXPECT_EQ(CallByName(*echo, u"echo", InvokeKind::Method, text), Variant(u"Hello, agent 7"));
  DispId id = echo->GetIdOfName(u"ECHO");
  EXPECT_EQ(id, 0x60030001);
  Variant put[] = {Variant(u"Hi")};
  echo->Invoke(kDispIdValue, InvokeKind::PropertyPut, put);
  EXPECT_EQ(echo->Invoke(id, InvokeKind::Method, text), Variant(u"Hi, agent 7"));

  std::vector<std::u16string> events;
  EventSource* source = EventSourceOf(*echo);
  ASSERT_NE(source, nullptr) << "events reach across the library boundary";
  int cookie = source->Advise(MakeRef<FunctionSink>([&](DispId event, std::span<Variant> args) {
    events.push_back(std::u16string(echo->Info()->FindEvent(event)->name) + u"(" +
                     ToString(args[0]) + u")");
  }));
  echo->Invoke(id, InvokeKind::Method, text);
  source->Unadvise(cookie);
  echo->Invoke(id, InvokeKind::Method, text);
  EXPECT_EQ(events, std::vector<std::u16string>{u"Echoed(agent 7)"});

  Variant callers(std::int16_t{21});
  Variant byRef[] = {Variant::ByRef(callers)};
  CallByName(*echo, u"Twice", InvokeKind::Method, byRef);
  EXPECT_EQ(callers, Variant(42));
}

TEST(InprocServer, UnregisterRemovesOnlyItsOwnKeys) {
  TempHive hive;
  SampleServer server;
  ASSERT_EQ(server.Call("DllRegisterServer"), hresult::kOk);
  // Another library has since taken the Counter class over.
  ASSERT_EQ(registry::HiveStore::Current().Write([](registry::Hive& h) {
    bool created = false;
    h.Create(
         *registry::RootByHandle(registry::HKEY_CLASSES_ROOT),
         registry::SplitKeyPath(u"CLSID\\{71deac0f-2f2c-4102-a72c-87ef2f14b19f}\\InprocServer32")
             .names,
         created)
        ->SetValue(u"", registry::REG_SZ,
                   registry::TextValue(u"", registry::REG_SZ, u"/opt/other.so").data);
    return registry::WriteOutcome::Save;
  }),
            registry::StoreStatus::Ok);
  ASSERT_EQ(server.Call("DllUnregisterServer"), hresult::kOk);
  EXPECT_EQ(ClassesDefault(u"TelvinorSample.Echo"), u"(none)");
  EXPECT_EQ(ClassesDefault(u"CLSID\\{33b0df4f-a984-4530-ac31-3691314ee6c8}"), u"(none)");
  EXPECT_EQ(ClassesDefault(u"CLSID\\{71deac0f-2f2c-4102-a72c-87ef2f14b19f}\\InprocServer32"),
            u"/opt/other.so");
  std::int32_t error = 0;
  try {
    (void)CreateObject(u"TelvinorSample.Echo");
  } catch (const AutomationError& e) {
    error = e.Number();
  }
  EXPECT_EQ(error, errc::kCannotCreateObject);
}

TEST(InprocServer, EntryPointsRefuseBadArguments) {
  SampleServer server;
  auto* get = reinterpret_cast<entrypoint::GetClassObjectFunction*>(
      dlsym(server.handle, entrypoint::kGetClassObject));
  ASSERT_NE(get, nullptr);
  void* object = reinterpret_cast<void*>(1);
  Guid unknown = Guid::FromString("{00000000-0000-0000-0000-000000000001}");
  EXPECT_EQ(get(unknown.bytes.data(), &object), hresult::kClassNotAvailable);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(get(nullptr, &object), hresult::kPointer);
  EXPECT_EQ(get(kEchoClass.bytes.data(), nullptr), hresult::kPointer);
}

}  // namespace
}  // namespace telvinor::automation
