// Mapped by CoreBench beside QuorvaneiOS8 so that the loader's own cost can be subtracted.
extern "C" int quorvaneBenchEmptyLibrary() {
  return 0;
}
