// Benchmark fixture maker: builds a seeded, reproducible file tree and applies a seeded
// change set (modify, add, delete) to it. Used by bench/run.sh; no dependency on the core.
//
//   make_tree create DIR FILES [--seed S] [--small] [--mtime EPOCH]
//   make_tree change DIR [--seed S] [--modify PCT] [--add PCT] [--delete PCT]

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kKiB = 1024;
constexpr std::uint64_t kMiB = 1024 * kKiB;
// 2020-01-01 00:00:00 UTC: old enough that every tool sees the files as settled.
constexpr std::int64_t kDefaultMtime = 1577836800;
constexpr int kFanOut = 10;
constexpr std::size_t kPoolSize = 2 * kMiB;

// Own generator instead of <random> distributions, whose output differs between
// standard libraries; the tree must be the same everywhere for a given seed.
struct SplitMix64 {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::uint64_t between(std::uint64_t lo, std::uint64_t hi) { return lo + next() % (hi - lo + 1); }
};

SplitMix64 streamFor(std::uint64_t seed, std::uint64_t stream, std::uint64_t index) {
  SplitMix64 mix{seed ^ (stream * 0xD1B54A32D192ED03ULL)};
  mix.state ^= SplitMix64{index + mix.next()}.next();
  return mix;
}

[[noreturn]] void die(const std::string& what) {
  std::fprintf(stderr, "make_tree: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

std::vector<unsigned char> makePool(std::uint64_t seed) {
  std::vector<unsigned char> pool(kPoolSize);
  SplitMix64 rng = streamFor(seed, 1, 0);
  for (std::size_t i = 0; i < pool.size(); i += 8) {
    std::uint64_t v = rng.next();
    std::memcpy(pool.data() + i, &v, 8);
  }
  return pool;
}

std::uint64_t drawSize(SplitMix64& rng, bool small) {
  if (small)
    return rng.between(0, kKiB);
  // One file in 200 is large, so a tree has "a few" files up to 1 MiB.
  if (rng.between(0, 199) == 0)
    return rng.between(16 * kKiB + 1, kMiB);
  return rng.between(kKiB, 16 * kKiB);
}

// Content is a slice of a random pool behind a unique header, so every file differs
// without paying for fresh random bytes per file.
void writeFile(const std::string& path, std::uint64_t size, const std::vector<unsigned char>& pool,
               SplitMix64& rng, std::uint64_t tag1, std::uint64_t tag2, const std::int64_t* mtime) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0)
    die("open " + path);
  std::uint64_t header[2] = {tag1, tag2};
  std::size_t headerLen = std::min<std::uint64_t>(size, sizeof header);
  std::size_t offset = rng.between(0, kPoolSize - kMiB - 1);
  std::vector<unsigned char> buf(pool.begin() + offset, pool.begin() + offset + size);
  std::memcpy(buf.data(), header, headerLen);
  std::size_t done = 0;
  while (done < buf.size()) {
    ssize_t n = ::write(fd, buf.data() + done, buf.size() - done);
    if (n < 0)
      die("write " + path);
    done += static_cast<std::size_t>(n);
  }
  if (mtime != nullptr) {
    timeval times[2] = {{static_cast<time_t>(*mtime), 0}, {static_cast<time_t>(*mtime), 0}};
    if (::futimes(fd, times) != 0)
      die("futimes " + path);
  }
  if (::close(fd) != 0)
    die("close " + path);
}

void setTime(const std::string& path, std::int64_t when) {
  timeval times[2] = {{static_cast<time_t>(when), 0}, {static_cast<time_t>(when), 0}};
  if (::lutimes(path.c_str(), times) != 0)
    die("lutimes " + path);
}

struct Options {
  std::uint64_t seed = 1;
  bool small = false;
  std::int64_t mtime = kDefaultMtime;
  double modifyPct = 1.0;
  double addPct = 0.5;
  double deletePct = 0.5;
};

Options parseOptions(int argc, char** argv, int first) {
  Options o;
  for (int i = first; i < argc; ++i) {
    std::string_view a = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "make_tree: %s needs a value\n", argv[i]);
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--seed")
      o.seed = std::strtoull(value(), nullptr, 10);
    else if (a == "--small")
      o.small = true;
    else if (a == "--mtime")
      o.mtime = std::strtoll(value(), nullptr, 10);
    else if (a == "--modify")
      o.modifyPct = std::strtod(value(), nullptr);
    else if (a == "--add")
      o.addPct = std::strtod(value(), nullptr);
    else if (a == "--delete")
      o.deletePct = std::strtod(value(), nullptr);
    else {
      std::fprintf(stderr, "make_tree: unknown option %s\n", argv[i]);
      std::exit(2);
    }
  }
  return o;
}

// Folders are numbered breadth first with kFanOut children each; every folder takes
// 15 to 25 files until the count is reached, so depth grows with the logarithm of N.
int create(const std::string& root, std::uint64_t files, const Options& o) {
  auto pool = makePool(o.seed);
  std::vector<std::string> folders;
  std::uint64_t made = 0, bytes = 0;
  fs::create_directories(root);
  for (std::uint64_t f = 0; made < files; ++f) {
    std::string dir = root;
    if (f > 0) {
      char name[16];
      std::snprintf(name, sizeof name, "/d%02u", static_cast<unsigned>((f - 1) % kFanOut));
      dir = folders[(f - 1) / kFanOut] + name;
      if (::mkdir(dir.c_str(), 0755) != 0)
        die("mkdir " + dir);
    }
    folders.push_back(dir);
    SplitMix64 count = streamFor(o.seed, 2, f);
    std::uint64_t here = std::min<std::uint64_t>(count.between(15, 25), files - made);
    for (std::uint64_t k = 0; k < here; ++k, ++made) {
      SplitMix64 rng = streamFor(o.seed, 3, made);
      std::uint64_t size = drawSize(rng, o.small);
      char name[32];
      std::snprintf(name, sizeof name, "/f%07llu.dat", static_cast<unsigned long long>(made));
      writeFile(dir + name, size, pool, rng, o.seed, made, &o.mtime);
      bytes += size;
    }
  }
  // Children change their parent's mtime, so fix folder times deepest first.
  for (auto it = folders.rbegin(); it != folders.rend(); ++it)
    setTime(*it, o.mtime);
  std::printf("created %llu files in %zu folders, %llu bytes\n",
              static_cast<unsigned long long>(made), folders.size(),
              static_cast<unsigned long long>(bytes));
  return 0;
}

// Modified files are written beside the original and renamed over it: that breaks a
// hard link to a pristine copy (bench/run.sh clones trees with cp -al) instead of
// changing the pristine copy too. New content keeps the size; the mtime is now.
int change(const std::string& root, const Options& o) {
  std::vector<std::string> files;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    if (it->path().filename().string().starts_with(".")) {
      if (it->is_directory())
        it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file())
      files.push_back(fs::relative(it->path(), root).string());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> folders;
  for (const auto& f : files)
    folders.push_back(fs::path(f).parent_path().string());
  std::sort(folders.begin(), folders.end());
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());

  SplitMix64 rng = streamFor(o.seed, 4, 0);
  for (std::size_t i = files.size(); i > 1; --i)
    std::swap(files[i - 1], files[rng.next() % i]);
  auto share = [&](double pct) {
    return static_cast<std::size_t>(static_cast<double>(files.size()) * pct / 100.0 + 0.5);
  };
  std::size_t nModify = std::min(share(o.modifyPct), files.size());
  std::size_t nDelete = std::min(share(o.deletePct), files.size() - nModify);
  std::size_t nAdd = share(o.addPct);
  auto pool = makePool(o.seed ^ 0xC4A9E5E7ULL);

  for (std::size_t i = 0; i < nModify; ++i) {
    std::string path = root + "/" + files[i];
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
      die("stat " + path);
    std::string temp = path + ".make_tree.tmp";
    SplitMix64 frng = streamFor(o.seed, 5, i);
    writeFile(temp, static_cast<std::uint64_t>(st.st_size), pool, frng, ~o.seed, i, nullptr);
    if (::rename(temp.c_str(), path.c_str()) != 0)
      die("rename " + temp);
  }
  for (std::size_t i = nModify; i < nModify + nDelete; ++i) {
    std::string path = root + "/" + files[i];
    if (::unlink(path.c_str()) != 0)
      die("unlink " + path);
  }
  // Sizes of new files follow the tree's own mix: each copies the size of a random file.
  std::size_t added = 0;
  for (std::size_t k = 0; added < nAdd && !files.empty(); ++k) {
    SplitMix64 frng = streamFor(o.seed, 6, k);
    std::string dir = folders[frng.next() % folders.size()];
    std::string sample = root + "/" + files[frng.next() % files.size()];
    struct stat st {};
    std::uint64_t size = ::stat(sample.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size)
                                                          : drawSize(frng, false);
    char name[48];
    std::snprintf(name, sizeof name, "n%llu_%07zu.dat", static_cast<unsigned long long>(o.seed), k);
    std::string path = root + "/" + (dir.empty() ? std::string() : dir + "/") + name;
    if (::access(path.c_str(), F_OK) == 0)
      continue;
    writeFile(path, size, pool, frng, o.seed, k, nullptr);
    ++added;
  }
  std::printf("modified %zu, added %zu, deleted %zu of %zu files\n", nModify, added, nDelete,
              files.size());
  return 0;
}

void usage() {
  std::fprintf(stderr,
               "usage: make_tree create DIR FILES [--seed S] [--small] [--mtime EPOCH]\n"
               "       make_tree change DIR [--seed S] [--modify PCT] [--add PCT] [--delete "
               "PCT]\n"
               "create: folders of about 20 files, sizes 1-16 KiB with 1 in 200 up to 1 MiB\n"
               "        (--small: 0-1 KiB), every mtime EPOCH (default 2020-01-01 UTC).\n"
               "change: modify/add/delete shares in percent (defaults 1, 0.5, 0.5); touched\n"
               "        files get the current time.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::string_view(argv[1]) == "create") {
    return create(argv[2], std::strtoull(argv[3], nullptr, 10), parseOptions(argc, argv, 4));
  }
  if (argc >= 3 && std::string_view(argv[1]) == "change") {
    return change(argv[2], parseOptions(argc, argv, 3));
  }
  usage();
  return 2;
}
