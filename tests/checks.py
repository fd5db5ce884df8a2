"""PASS and FAIL lines, counted, for the lanes' drivers."""


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, ok, name, why=""):
        if ok:
            self.passed += 1
            print(f"PASS {name}")
        else:
            self.failed += 1
            print(f"FAIL {name}: {why}")
