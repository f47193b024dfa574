def work(n):
    d = {}
    for i in range(1, n + 1):
        d["k" + str(i)] = i
    s = 0
    for i in range(1, n + 1):
        if ("k" + str(i)) in d:
            s = s + d["k" + str(i)]
    return str(len(d)) + " " + str(s)
print(work(200000))
