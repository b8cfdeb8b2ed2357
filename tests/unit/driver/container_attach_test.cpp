#include "container_attach.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cryptdsk_protocol.h"

namespace cryptdsk {
namespace {

// The kernel's side as a recorder: a small file system with one container
// that may be missing, and faults to inject at each call.
class FakeKernel {
 public:
  bool Exists = true;
  NtStatus CreateFails = kStatusSuccess;
  NtStatus EndOfFileFails = kStatusSuccess;
  NtStatus QueryFails = kStatusSuccess;
  NtStatus EnableFails = kStatusSuccess;
  NtStatus DisableFails = kStatusSuccess;
  ContainerFacts Facts{0x80, 10485760, 0, 512, 0};

  std::vector<ContainerCreate> Creates;
  std::string Log;  // one letter per call, in order
  bool HandleOpen = false;
  bool Attached = false;
  bool InterfaceEnabled = false;
  int64_t PublishedDiskSize = -1;

  ContainerSystem System() {
    return ContainerSystem{this,  Create,  SetEndOfFile, Query,       Flush,
                           Close, Publish, Withdraw,     SetInterface};
  }

 private:
  static FakeKernel* Of(void* context) { return static_cast<FakeKernel*>(context); }
  static NtStatus Create(void* context, const ContainerCreate& call, bool* created) {
    FakeKernel* k = Of(context);
    k->Log += 'c';
    k->Creates.push_back(call);
    if (k->CreateFails != kStatusSuccess) return k->CreateFails;
    if (!k->Exists && call.Disposition == kFileOpen) return kStatusObjectNameNotFound;
    *created = !k->Exists;
    k->Exists = true;
    k->HandleOpen = true;
    return kStatusSuccess;
  }
  static NtStatus SetEndOfFile(void* context, uint64_t size) {
    FakeKernel* k = Of(context);
    k->Log += 'e';
    if (k->EndOfFileFails != kStatusSuccess) return k->EndOfFileFails;
    k->Facts.Size = static_cast<int64_t>(size);
    return kStatusSuccess;
  }
  static NtStatus Query(void* context, ContainerFacts* facts) {
    FakeKernel* k = Of(context);
    k->Log += 'q';
    *facts = k->Facts;
    return k->QueryFails;
  }
  static NtStatus Flush(void* context) {
    Of(context)->Log += 'f';
    return kStatusSuccess;
  }
  static void Close(void* context) {
    FakeKernel* k = Of(context);
    k->Log += 'x';
    EXPECT_TRUE(k->HandleOpen) << "closing a handle that is not open";
    k->HandleOpen = false;
  }
  static void Publish(void* context, const ContainerFacts& facts) {
    FakeKernel* k = Of(context);
    k->Log += 'p';
    EXPECT_EQ(facts.Size, k->Facts.Size);
    k->PublishedDiskSize = facts.DiskSize;
    k->Attached = true;
  }
  static void Withdraw(void* context) {
    FakeKernel* k = Of(context);
    k->Log += 'w';
    k->Attached = false;
  }
  static NtStatus SetInterface(void* context, bool enabled) {
    FakeKernel* k = Of(context);
    k->Log += enabled ? 'I' : 'i';
    // The mount manager asks the disk as soon as the interface is enabled.
    if (enabled) {
      EXPECT_TRUE(k->Attached) << "interface enabled before the disk is attached";
    }
    const NtStatus status = enabled ? k->EnableFails : k->DisableFails;
    if (status == kStatusSuccess) k->InterfaceEnabled = enabled;
    return status;
  }
};

TEST(AttachContainer, OpensTheExistingFileWithTheRequestersRightsForced) {
  FakeKernel kernel;
  EXPECT_EQ(AttachContainer(kernel.System(), kGenerationHeadOnly, 0), kStatusSuccess);
  ASSERT_EQ(kernel.Creates.size(), 1u);
  const ContainerCreate& open = kernel.Creates[0];
  EXPECT_EQ(open.Disposition, kFileOpen);
  EXPECT_EQ(open.ShareAccess, kFileShareReadWrite);
  EXPECT_EQ(open.AllocationSize, 0u);
  EXPECT_EQ(open.ObjectAttributes, kObjCaseInsensitive | kObjKernelHandle | kObjForceAccessCheck);
  EXPECT_EQ(open.IoOptions, kIoForceAccessCheck);
  EXPECT_EQ(open.CreateOptions, 0x868u);
  EXPECT_EQ(kernel.Log, "cqpI");
  EXPECT_TRUE(kernel.Attached && kernel.InterfaceEnabled && kernel.HandleOpen);
}

TEST(AttachContainer, MissingFileIsCreatedExclusivelyAtItsSizeWithTheSameRights) {
  FakeKernel kernel;
  kernel.Exists = false;
  EXPECT_EQ(AttachContainer(kernel.System(), kGenerationHeadOnly, 10485760), kStatusSuccess);
  ASSERT_EQ(kernel.Creates.size(), 2u);
  const ContainerCreate& create = kernel.Creates[1];
  EXPECT_EQ(create.Disposition, kFileOpenIf);
  EXPECT_EQ(create.ShareAccess, 0u);
  EXPECT_EQ(create.AllocationSize, 10485760u);
  EXPECT_EQ(create.ObjectAttributes, kernel.Creates[0].ObjectAttributes);
  EXPECT_EQ(create.IoOptions, kIoForceAccessCheck);
  EXPECT_EQ(kernel.Log, "cceqpI");
}

TEST(AttachContainer, FirstGenerationDiskIsTheWholeFile) {
  FakeKernel kernel;
  ASSERT_EQ(AttachContainer(kernel.System(), kGenerationHeadOnly, 0), kStatusSuccess);
  EXPECT_EQ(kernel.PublishedDiskSize, 10485760);
}

TEST(AttachContainer, SecondGenerationDiskLeavesOutTheBackupArea) {
  FakeKernel kernel;
  ASSERT_EQ(AttachContainer(kernel.System(), kGenerationWholeDisk, 0), kStatusSuccess);
  EXPECT_EQ(kernel.PublishedDiskSize, 10485760 - 4096);
}

TEST(AttachContainer, SecondGenerationFileWithoutRoomForASectorIsRefused) {
  FakeKernel kernel;
  kernel.Facts.Size = 4096 + 511;
  EXPECT_EQ(AttachContainer(kernel.System(), kGenerationWholeDisk, 0), kStatusUnrecognizedMedia);
  EXPECT_EQ(kernel.Log, "cqx");
  EXPECT_FALSE(kernel.Attached || kernel.HandleOpen);
}

TEST(AttachContainer, SecondGenerationSizeTooSmallToCreateMakesNoFile) {
  FakeKernel kernel;
  kernel.Exists = false;
  EXPECT_EQ(AttachContainer(kernel.System(), kGenerationWholeDisk, 4096), kStatusUnrecognizedMedia);
  EXPECT_EQ(kernel.Log, "");
  EXPECT_FALSE(kernel.Exists);
}

TEST(AttachContainer, MissingFileWithoutSizeIsNotCreated) {
  FakeKernel kernel;
  kernel.Exists = false;
  EXPECT_EQ(AttachContainer(kernel.System(), kGenerationHeadOnly, 0), kStatusNoSuchFile);
  EXPECT_EQ(kernel.Log, "c");
  EXPECT_FALSE(kernel.Exists);
}

struct FailureCase {
  const char* Name;
  void (*Arrange)(FakeKernel&);
  NtStatus Status;
  const char* Log;
};

constexpr NtStatus kDenied = kStatusAccessDenied;
constexpr NtStatus kDiskFull = static_cast<NtStatus>(0xC000007Fu);

const FailureCase kFailures[] = {
    {"AccessDeniedToTheUser", [](FakeKernel& k) { k.CreateFails = kDenied; }, kDenied, "c"},
    {"CreateFails",
     [](FakeKernel& k) {
       k.Exists = false;
       k.CreateFails = kDiskFull;
     },
     kDiskFull, "c"},
    {"EndOfFileFails",
     [](FakeKernel& k) {
       k.Exists = false;
       k.EndOfFileFails = kDiskFull;
     },
     kDiskFull, "ccex"},
    {"QueryFails", [](FakeKernel& k) { k.QueryFails = kDiskFull; }, kDiskFull, "cqx"},
    {"Compressed", [](FakeKernel& k) { k.Facts.FileAttributes |= 0x800; }, kDenied, "cqx"},
    {"Encrypted", [](FakeKernel& k) { k.Facts.FileAttributes |= 0x4000; }, kDenied, "cqx"},
    {"HostSectors4096", [](FakeKernel& k) { k.Facts.BytesPerSector = 4096; }, kStatusNotSupported,
     "cqx"},
    {"HostSectors1024", [](FakeKernel& k) { k.Facts.BytesPerSector = 1024; }, kStatusNotSupported,
     "cqx"},
    {"HostSectors520", [](FakeKernel& k) { k.Facts.BytesPerSector = 520; }, kStatusNotSupported,
     "cqx"},
    // Attached first, then taken back when the system cannot be told.
    {"InterfaceCannotBeEnabled", [](FakeKernel& k) { k.EnableFails = kStatusUnsuccessful; },
     kStatusUnsuccessful, "cqpIwx"},
};

class AttachFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(AttachFailure, UndoesEverythingAndLeavesNoHandleOpen) {
  const FailureCase& c = GetParam();
  FakeKernel kernel;
  c.Arrange(kernel);
  EXPECT_EQ(AttachContainer(kernel.System(), kGenerationHeadOnly, 4096), c.Status);
  EXPECT_EQ(kernel.Log, c.Log);
  EXPECT_FALSE(kernel.HandleOpen);
  EXPECT_FALSE(kernel.Attached);
  EXPECT_FALSE(kernel.InterfaceEnabled);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, AttachFailure, ::testing::ValuesIn(kFailures),
                         [](const ::testing::TestParamInfo<FailureCase>& info) {
                           return info.param.Name;
                         });

TEST(AttachContainer, HostSectorsThatWholeDiskSectorsFitAreAccepted) {
  for (const uint32_t bytes : {0u, 1u, 256u, 512u}) {
    FakeKernel kernel;
    kernel.Facts.BytesPerSector = bytes;
    EXPECT_EQ(AttachContainer(kernel.System(), kGenerationHeadOnly, 0), kStatusSuccess) << bytes;
  }
  for (const uint32_t bytes : {513u, 2048u, 4096u, 65536u})
    EXPECT_FALSE(HostSectorSizeSupported(bytes));
}

TEST(AttachContainer, UnsupportedHostSectorsGiveTheProtocolsStatus) {
  EXPECT_EQ(static_cast<uint32_t>(kStatusNotSupported), kOpenImageHostSectorStatus);
  EXPECT_EQ(kOpenImageHostSectorError, 50u);  // ERROR_NOT_SUPPORTED
}

TEST(DetachContainer, WithdrawsFlushesThenClosesAfterTheInterfaceIsDisabled) {
  FakeKernel kernel;
  ASSERT_EQ(AttachContainer(kernel.System(), kGenerationHeadOnly, 0), kStatusSuccess);
  kernel.Log.clear();
  EXPECT_EQ(DetachContainer(kernel.System(), true, false), kStatusSuccess);
  EXPECT_EQ(kernel.Log, "iwfx");
  EXPECT_FALSE(kernel.HandleOpen || kernel.Attached || kernel.InterfaceEnabled);
}

TEST(DetachContainer, NothingAttachedIsUnsuccessfulAndTouchesNothing) {
  FakeKernel kernel;
  EXPECT_EQ(DetachContainer(kernel.System(), false, true), kStatusUnsuccessful);
  EXPECT_EQ(kernel.Log, "");
}

TEST(DetachContainer, InterfaceThatCannotBeDisabledKeepsItAttachedUnlessForced) {
  FakeKernel kernel;
  ASSERT_EQ(AttachContainer(kernel.System(), kGenerationHeadOnly, 0), kStatusSuccess);
  kernel.DisableFails = kStatusUnsuccessful;
  kernel.Log.clear();
  EXPECT_EQ(DetachContainer(kernel.System(), true, false), kStatusUnsuccessful);
  EXPECT_EQ(kernel.Log, "i");
  EXPECT_TRUE(kernel.Attached && kernel.HandleOpen);
  // Removal and shutdown: flushed and closed whatever the interface says.
  EXPECT_EQ(DetachContainer(kernel.System(), true, true), kStatusSuccess);
  EXPECT_EQ(kernel.Log, "iiwfx");
  EXPECT_FALSE(kernel.Attached || kernel.HandleOpen);
}

}  // namespace
}  // namespace cryptdsk
