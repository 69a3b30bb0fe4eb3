; The business package: depreciation, annuities, net present value and internal rate of return. Money
; received is positive and money paid out negative, so a loan's payments are negative.
(sln-depreciation 1000 100 9)
(syd-depreciation 1000 100 9 1)
(syd-depreciation 1000 100 9 9)
(double-declining-balance 1000 100 5 1)
(double-declining-balance 1000 100 5 5)

; payment at the end and at the start of each period (the payment time ignores case)
(payment 0.01 12 1000 0 ptEndOfPeriod)
(payment 0.01 12 1000 0 ptstartofperiod)
(/ (payment 0.01 12 1000 0 ptEndOfPeriod) 1.01)
(payment 0 4 1000 0 ptEndOfPeriod)
(future-value 0.05 10 -100 0 ptEndOfPeriod)
(present-value 0.05 10 -100 0 ptEndOfPeriod)
(future-value 0 10 -100 -50 PTENDOFPERIOD)

; the interest and principal parts of a payment add up to the payment
(interest-payment 0.01 1 12 1000 0 ptEndOfPeriod)
(period-payment 0.01 1 12 1000 0 ptEndOfPeriod)
(+ (interest-payment 0.01 7 12 1000 0 ptStartOfPeriod) (period-payment 0.01 7 12 1000 0 ptStartOfPeriod))
(payment 0.01 12 1000 0 ptStartOfPeriod)

; rate and number of periods find back what payment used
(interest-rate 12 (payment 0.01 12 1000 0 ptEndOfPeriod) 1000 0 ptEndOfPeriod)
(number-of-periods 0.01 (payment 0.01 12 1000 0 ptEndOfPeriod) 1000 0 ptEndOfPeriod)
(number-of-periods 0 -100 1000 0 ptEndOfPeriod)

; cash flows from a multifield; any other payment time is the end of the period
(net-present-value 0.1 (create$ 100 100 100) ptEndOfPeriod)
(net-present-value 0.1 (create$ 100 100 100) whenever)
(net-present-value 0.1 (create$ 100 100 100) ptStartOfPeriod)
(internal-rate-of-return 0.1 (create$ -1000 500 400 300))
(abs (round (* 1000000 (net-present-value (internal-rate-of-return 0.1 (create$ -1000 500 400 300))
                                    (create$ -1000 500 400 300) ptStartOfPeriod))))
(internal-rate-of-return 0.1 (create$ 100 200 300))
