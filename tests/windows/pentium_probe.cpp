// A program whose choices GCC turns into cmov and fcomi when it may use i686
// instructions: scripts/test-windows.sh builds it for i686, where the Pentium check
// must refuse it, and for i586, where it must pass.
int Pick(int count, double share) {
  const int larger = count > 3 ? count : 3;
  return share < 1.5 ? larger : -larger;
}

int main(int argc, char**) {
  return Pick(argc, argc * 0.5);
}
