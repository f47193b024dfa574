import math
def work(n):
    s, x = 0, 0.5
    for i in range(1, n + 1):
        s = s + (i % 7) * 2 - 1
        x = x * 1.0000001 + 0.25
    return str(s) + " " + str(math.floor(x))
print(work(3000000))
