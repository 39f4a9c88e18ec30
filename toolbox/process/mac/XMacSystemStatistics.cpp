// Load and equipment statistics of the system facade: processor use from
// /proc/stat and the threads' own counters, network throughput from
// /proc/net/dev, adapters from getifaddrs and /sys/class/net, partitions
// from the mount table, statvfs and /sys/class/block.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <mntent.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <dirent.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/VString.h"
#include "files/mac/XMacVolumes.h"
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "process/VSystem.h"
#include "process/mac/XMacSystem.h"
#include "process/mac/XNetworkThroughput.h"
#include "values/VTime.h"

namespace zeft {

namespace {

// The previous samples are process-wide; one caller at a time takes them.
std::mutex sStatisticsMutex;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string();
  std::ostringstream text;
  text << in.rdbuf();
  std::string result = text.str();
  while (!result.empty() && (result.back() == '\n' || result.back() == ' ')) result.pop_back();
  return result;
}

bool Exists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

VString FromUTF8(const std::string& text) {
  VString result;
  result.FromBlock(text.data(), text.size(), kCharSetUTF8);
  return result;
}

void Set(VJSONObject& object, const char* key, const std::string& text) {
  object.SetProperty(VString(key), VJSONValue(FromUTF8(text)));
}

void Set(VJSONObject& object, const char* key, double number) {
  object.SetProperty(VString(key), VJSONValue(number));
}

// ---- Processors

// User, system, idle and nice ticks of one processor.
struct ProcessorTicks {
  uint32 fTicks[4] = {0, 0, 0, 0};
};

bool ReadProcessorTicks(std::vector<ProcessorTicks>& processors) {
  std::istringstream lines(ReadText("/proc/stat"));
  for (std::string line; std::getline(lines, line);) {
    // "cpuN user nice system idle iowait irq softirq ..."; "cpu " is the sum.
    if (line.compare(0, 3, "cpu") != 0 || line.size() < 4 || line[3] == ' ') continue;
    unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0;
    const char* fields = std::strchr(line.c_str(), ' ');
    if (fields == nullptr || std::sscanf(fields, "%llu %llu %llu %llu %llu %llu %llu", &user, &nice,
                                         &system, &idle, &iowait, &irq, &softirq) < 4) {
      continue;
    }
    ProcessorTicks ticks;
    ticks.fTicks[0] = uint32(user);
    ticks.fTicks[1] = uint32(system + irq + softirq);
    ticks.fTicks[2] = uint32(idle + iowait);
    ticks.fTicks[3] = uint32(nice);
    processors.push_back(ticks);
  }
  return !processors.empty();
}

std::vector<ProcessorTicks>* sPreviousProcessors = nullptr;

// ---- Network

XNetworkThroughput sThroughput;

bool IsLoopback(const std::string& name) {
  const std::string flags = ReadText("/sys/class/net/" + name + "/flags");
  if (flags.empty()) return name == "lo";
  return (std::strtoul(flags.c_str(), nullptr, 16) & IFF_LOOPBACK) != 0;
}

// ---- Partitions

bool IsNetworkFileSystem(const std::string& type) {
  static const std::set<std::string> kNetworkTypes = {
      "nfs",  "nfs4",      "cifs",       "smb3",           "smbfs",       "afs",   "9p",
      "ceph", "glusterfs", "fuse.sshfs", "fuse.glusterfs", "fuse.cephfs", "davfs", "fuse.davfs2"};
  return kNetworkTypes.count(type) != 0;
}

// The block device's name in /sys/class/block ("sda1", "dm-0"), "" when the
// mounted thing is not a block device.
std::string BlockDeviceName(const std::string& device) {
  struct stat info;
  if (device.empty() || device[0] != '/' || stat(device.c_str(), &info) != 0 ||
      !S_ISBLK(info.st_mode)) {
    return std::string();
  }
  char link[64];
  std::snprintf(link, sizeof link, "/sys/dev/block/%u:%u", major(info.st_rdev),
                minor(info.st_rdev));
  char target[4096];
  const ssize_t length = readlink(link, target, sizeof target - 1);
  if (length <= 0) return std::string();
  target[length] = '\0';
  const char* slash = std::strrchr(target, '/');
  return slash != nullptr ? slash + 1 : target;
}

// The whole disk holding a block device: itself, or the parent of a partition.
std::string DiskOf(const std::string& block) {
  if (!Exists("/sys/class/block/" + block + "/partition")) return block;
  char target[4096];
  const std::string link = "/sys/class/block/" + block;
  const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
  if (length <= 0) return block;
  target[length] = '\0';
  std::string path = target;
  path = path.substr(0, path.rfind('/'));
  return path.substr(path.rfind('/') + 1);
}

// How the disk is attached, from its name and its place in the device tree.
std::string DiskProtocol(const std::string& disk) {
  if (disk.rfind("nvme", 0) == 0) return "NVMe";
  if (disk.rfind("mmcblk", 0) == 0) return "Secure Digital";
  if (disk.rfind("vd", 0) == 0) return "Virtio";
  if (disk.rfind("md", 0) == 0 || disk.rfind("dm-", 0) == 0) return "Virtual Interface";
  char target[4096];
  const std::string link = "/sys/class/block/" + disk;
  const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
  if (length > 0) {
    target[length] = '\0';
    if (std::strstr(target, "/usb") != nullptr) return "USB";
    if (std::strstr(target, "/ata") != nullptr) return "SATA";
  }
  return disk.rfind("sd", 0) == 0 ? "SCSI" : "";
}

std::string DiskModel(const std::string& disk) {
  std::string model = ReadText("/sys/class/block/" + disk + "/device/model");
  while (!model.empty() && model.back() == ' ') model.pop_back();
  return model;
}

double SizeKiB(const std::string& block) {
  // /sys counts 512-byte sectors whatever the device's own sector size.
  return double(
      std::strtoull(ReadText("/sys/class/block/" + block + "/size").c_str(), nullptr, 10) * 512 /
      1024);
}

// The name of the link in /dev/disk/<folder> that points at the block
// device ("" when none): labels and UUIDs.
std::string DiskLink(const char* folder, const std::string& block) {
  std::string found;
  const std::string base = std::string("/dev/disk/") + folder;
  DIR* links = opendir(base.c_str());
  if (links == nullptr) return found;
  while (const dirent* entry = readdir(links)) {
    if (entry->d_name[0] == '.') continue;
    char target[4096];
    const std::string link = base + "/" + entry->d_name;
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0) continue;
    target[length] = '\0';
    const char* slash = std::strrchr(target, '/');
    if (block == (slash != nullptr ? slash + 1 : target)) {
      found = entry->d_name;
      break;
    }
  }
  closedir(links);
  return found;
}

// Labels in /dev/disk/by-label escape blanks and other bytes as \xHH.
std::string UnescapeLabel(const std::string& label) {
  std::string text;
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] == '\\' && i + 3 < label.size() && label[i + 1] == 'x') {
      text += char(std::strtoul(label.substr(i + 2, 2).c_str(), nullptr, 16));
      i += 3;
    } else {
      text += label[i];
    }
  }
  return text;
}

VRefPtr<VJSONObject> MakeDisk(const std::string& interface, const std::string& description,
                              const std::string& identifier, double sizeKiB) {
  VRefPtr<VJSONObject> disk(new VJSONObject(), kAdoptRef);
  Set(*disk, "interface", interface);
  Set(*disk, "description", description);
  Set(*disk, "identifier", identifier);
  Set(*disk, "size", sizeKiB);
  return disk;
}

// The members of a RAID set or of a mapped device; empty for a plain disk.
std::vector<std::string> Members(const std::string& disk) {
  std::vector<std::string> members;
  DIR* slaves = opendir(("/sys/class/block/" + disk + "/slaves").c_str());
  if (slaves == nullptr) return members;
  while (const dirent* entry = readdir(slaves)) {
    if (entry->d_name[0] != '.') members.push_back(entry->d_name);
  }
  closedir(slaves);
  return members;
}

}  // namespace

bool XMacSystem::GetProcessorsPercentageUse(double& percentage) {
  percentage = 0;
  std::vector<ProcessorTicks> current;
  if (!ReadProcessorTicks(current)) return false;
  std::lock_guard<std::mutex> guard(sStatisticsMutex);
  if (sPreviousProcessors == nullptr) {
    sPreviousProcessors = new std::vector<ProcessorTicks>(current);
    return false;
  }
  std::vector<ProcessorTicks>& previous = *sPreviousProcessors;
  uint32 sums[4] = {0, 0, 0, 0};
  // The processor count is taken as constant; extra ones are ignored.
  const size_t count = std::min(previous.size(), current.size());
  for (size_t n = 0; n < count; ++n) {
    for (int state = 0; state < 4; ++state) {
      sums[state] += current[n].fTicks[state] - previous[n].fTicks[state];
    }
    previous[n] = current[n];
  }
  uint32 total = sums[0] + sums[1] + sums[3] + sums[2];
  if (total == 0) total = 1;
  percentage =
      double(total - sums[2]) / double(total) / double(VSystem::GetNumberOfLogicalProcessors());
  return true;
}

double XMacSystem::GetApplicationProcessorsPercentageUse() {
  const long ticksPerSecond = sysconf(_SC_CLK_TCK);
  const double uptime = std::strtod(ReadText("/proc/uptime").c_str(), nullptr);
  DIR* threads = opendir("/proc/self/task");
  if (threads == nullptr || ticksPerSecond <= 0 || uptime <= 0) {
    if (threads != nullptr) closedir(threads);
    return -1;
  }
  double sum = 0;
  while (const dirent* entry = readdir(threads)) {
    if (entry->d_name[0] == '.') continue;
    const std::string stat = ReadText(std::string("/proc/self/task/") + entry->d_name + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    // Fields after the name: state is field 3; utime 14, stime 15, starttime 22.
    std::istringstream fields(stat.substr(close + 2));
    std::vector<std::string> values;
    for (std::string value; fields >> value && values.size() < 20;) values.push_back(value);
    if (values.size() < 20) continue;
    const double busy =
        std::strtod(values[11].c_str(), nullptr) + std::strtod(values[12].c_str(), nullptr);
    const double lifetime =
        uptime * double(ticksPerSecond) - std::strtod(values[19].c_str(), nullptr);
    // A thread's use in percent of one processor over its life, counted once.
    if (lifetime > 0) sum += busy / lifetime * 100.0;
  }
  closedir(threads);
  return sum / 100.0 / double(VSystem::GetNumberOfLogicalProcessors());
}

bool XMacSystem::GetInOutNetworkStats(std::vector<double>& rates) {
  rates.clear();
  VTime now;
  VTime::Now(now);
  std::istringstream lines(ReadText("/proc/net/dev"));
  double received = 0;
  double sent = 0;
  bool any = false;
  for (std::string line; std::getline(lines, line);) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;  // the two header lines
    std::string name = line.substr(0, colon);
    name.erase(0, name.find_first_not_of(' '));
    any = true;
    if (IsLoopback(name)) continue;
    std::istringstream counters(line.substr(colon + 1));
    // Received: bytes packets errs drop fifo frame compressed multicast; then sent.
    double values[9] = {};
    for (double& value : values) counters >> value;
    received += values[0];
    sent += values[8];
  }
  if (!any) return false;
  std::lock_guard<std::mutex> guard(sStatisticsMutex);
  return sThroughput.Sample(now.GetMilliseconds(), received, sent, rates);
}

void XMacSystem::GetNetworkAdaptersInformations(VJSONArray& adapters) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return;
  // Temporary, deprecated, tentative and failed IPv6 addresses are skipped.
  std::map<std::string, unsigned> ipv6Flags;
  {
    std::istringstream lines(ReadText("/proc/net/if_inet6"));
    for (std::string line; std::getline(lines, line);) {
      std::istringstream fields(line);
      std::string address, index, prefix, scope, flags, name;
      if (fields >> address >> index >> prefix >> scope >> flags >> name) {
        ipv6Flags[address + "%" + name] = unsigned(std::strtoul(flags.c_str(), nullptr, 16));
      }
    }
  }
  const unsigned kSkippedIPv6 =
      0x01 | 0x08 | 0x20 | 0x40;  // temporary, dad failed, deprecated, tentative
  std::map<std::string, VRefPtr<VJSONArray>> addresses;
  for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    const sockaddr* address = entry->ifa_addr;
    if (address == nullptr || entry->ifa_netmask == nullptr) continue;
    const int family = address->sa_family;
    if ((family != AF_INET && family != AF_INET6) || entry->ifa_netmask->sa_family != family) {
      continue;
    }
    const unsigned mask = IFF_UP | IFF_MULTICAST | IFF_LOOPBACK | IFF_POINTOPOINT;
    if ((entry->ifa_flags & mask) != (IFF_UP | IFF_MULTICAST)) continue;
    char text[INET6_ADDRSTRLEN] = {};
    const void* raw =
        family == AF_INET
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr)
            : static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
    if (inet_ntop(family, raw, text, sizeof text) == nullptr) continue;
    if (family == AF_INET6) {
      const auto* bytes = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr.s6_addr;
      char hex[33];
      for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", bytes[i]);
      auto flags = ipv6Flags.find(std::string(hex) + "%" + entry->ifa_name);
      if (flags != ipv6Flags.end() && (flags->second & kSkippedIPv6) != 0) continue;
    }
    VRefPtr<VJSONObject> object(new VJSONObject(), kAdoptRef);
    Set(*object, "ip", std::string(text));
    Set(*object, "type", std::string(family == AF_INET ? "ipv4" : "ipv6"));
    VRefPtr<VJSONArray>& array = addresses[entry->ifa_name];
    if (array == nullptr) array = VRefPtr<VJSONArray>(new VJSONArray(), kAdoptRef);
    array->Push(VJSONValue(object.Get()));
  }
  freeifaddrs(list);
  if (addresses.empty()) return;

  // The adapters in the system's order (by interface index).
  struct if_nameindex* names = if_nameindex();
  if (names == nullptr) return;
  for (const struct if_nameindex* name = names; name->if_index != 0; ++name) {
    auto found = addresses.find(name->if_name);
    if (found == addresses.end()) continue;
    const std::string folder = std::string("/sys/class/net/") + name->if_name;
    std::string type;
    if (Exists(folder + "/wireless") || Exists(folder + "/phy80211")) {
      type = "wifi";
    } else if (Exists(folder + "/bridge")) {
      type = "Bridge";
    } else if (Exists(folder + "/bonding")) {
      type = "Bond";
    } else if (ReadText(folder + "/type") == "1") {
      type = "ethernet";
    } else {
      type = ReadText(folder + "/type");
    }
    VRefPtr<VJSONObject> adapter(new VJSONObject(), kAdoptRef);
    Set(*adapter, "type", type);
    Set(*adapter, "name", std::string(name->if_name));
    adapter->SetProperty(VString("ipAddresses"), VJSONValue(found->second.Get()));
    adapters.Push(VJSONValue(adapter.Get()));
  }
  if_freenameindex(names);
}

void XMacSystem::GetDiskPartitionsInfos(VJSONArray& partitions) {
  FILE* table = setmntent("/proc/self/mounts", "r");
  if (table == nullptr) return;
  mntent entry;
  char buffer[8192];
  while (getmntent_r(table, &entry, buffer, sizeof buffer) != nullptr) {
    struct statvfs info;
    if (statvfs(entry.mnt_dir, &info) != 0 || info.f_blocks == 0) continue;
    const std::string type = entry.mnt_type;
    const bool network = IsNetworkFileSystem(type);
    const std::string block = network ? std::string() : BlockDeviceName(entry.mnt_fsname);
    if (!network && block.empty()) continue;  // no disk behind it (tmpfs, overlay...)

    const double capacity = double(uint64(info.f_blocks) * info.f_frsize / 1024);
    VRefPtr<VJSONObject> partition(new VJSONObject(), kAdoptRef);
    Set(*partition, "mountPoint", std::string(entry.mnt_dir));
    Set(*partition, "capacity", capacity);
    Set(*partition, "available", double(uint64(info.f_bavail) * info.f_frsize / 1024));
    Set(*partition, "filesystem", type);
    std::string name = network ? std::string() : UnescapeLabel(DiskLink("by-label", block));
    if (name.empty()) {
      char volume[255] = {};
      if (XMacVolumes::Get().GetVolumeNameFromMountPath(entry.mnt_dir, volume, sizeof volume)) {
        name = volume;
      }
    }
    Set(*partition, "name", name);

    if (network) {
      partition->SetProperty(VString("disk"),
                             VJSONValue(MakeDisk("network", "", "", capacity).Get()));
    } else {
      const std::string disk = DiskOf(block);
      const std::vector<std::string> members = Members(disk);
      if (!members.empty()) {
        // A RAID set or mapped device: one object per member disk.
        std::string identifier = ReadText("/sys/class/block/" + disk + "/md/uuid");
        if (identifier.empty()) identifier = ReadText("/sys/class/block/" + disk + "/dm/uuid");
        VRefPtr<VJSONArray> array(new VJSONArray(), kAdoptRef);
        for (const std::string& member : members) {
          const std::string memberDisk = DiskOf(member);
          array->Push(VJSONValue(
              MakeDisk(DiskProtocol(memberDisk), DiskModel(memberDisk), identifier, SizeKiB(member))
                  .Get()));
        }
        partition->SetProperty(VString("disk"), VJSONValue(array.Get()));
      } else {
        partition->SetProperty(VString("disk"),
                               VJSONValue(MakeDisk(DiskProtocol(disk), DiskModel(disk),
                                                   DiskLink("by-partuuid", block), SizeKiB(block))
                                              .Get()));
      }
    }
    partitions.Push(VJSONValue(partition.Get()));
  }
  endmntent(table);
}

}  // namespace zeft
