-- A small office for the dashboard and reports screenshots: rented, sold and
-- available units, rent paid over the last months, a sale on instalments with
-- some overdue, cheques in two currencies, maintenance, expenses and activity.
-- Dates are relative to today so the pictures look the same on any day.
INSERT INTO properties (id, name, city) VALUES (901, 'برج النخيل', 'رام الله'), (902, 'مجمع الياسمين', 'البيرة'), (903, 'عمارة الزيتون', 'نابلس');
INSERT INTO units (id, property_id, unit_number, floor, area, rooms, rent_monthly, sale_price, status, currency_id) VALUES
 (901, 901, 'A1', 1, 120, 3, 2500, 0, 'rented', 1), (902, 901, 'A2', 2, 95, 2, 2000, 0, 'rented', 1),
 (903, 901, 'A3', 3, 110, 3, 2300, 0, 'available', 1), (904, 902, 'B1', 1, 140, 4, 0, 520000, 'sold', 1),
 (905, 902, 'B2', 2, 130, 3, 0, 450000, 'available', 1), (906, 903, 'C1', 1, 150, 4, 0, 160000, 'available', 2),
 (907, 903, 'C2', 2, 80, 2, 1800, 0, 'rented', 1);
INSERT INTO tenants (id, full_name, id_number, phone) VALUES (901, 'سامي الحداد', '401234567', '0599123456'), (902, 'رنا خليل', '402345678', '0598111222'), (903, 'محمود عيسى', '403456789', '0597333444');
INSERT INTO contracts (unit_id, tenant_id, start_date, end_date, rent_amount, currency_id) VALUES
 (901, 901, date('now','localtime','-11 months'), date('now','localtime','+20 days'), 2500, 1),
 (902, 902, date('now','localtime','-6 months'), date('now','localtime','+6 months'), 2000, 1),
 (907, 903, date('now','localtime','-3 months'), date('now','localtime','+9 months'), 1800, 1);
INSERT INTO invoices (invoice_number, tenant_id, unit_id, period, total_amount, paid_amount, balance, status, currency_id, due_date) VALUES
 ('INV-S-1', 901, 901, strftime('%Y-%m','now','localtime'), 2500, 1500, 1000, 'partial', 1, date('now','localtime','start of month','+9 days')),
 ('INV-S-2', 902, 902, strftime('%Y-%m','now','localtime','-1 month'), 2000, 0, 2000, 'pending', 1, date('now','localtime','start of month','-1 month','+9 days'));
INSERT INTO payments (tenant_id, invoice_id, unit_id, amount, payment_method, payment_date, reference, currency_id) VALUES
 (901, 1, 901, 1500, 'cash', date('now','localtime'), 'إيصال 1041', 1),
 (902, NULL, 902, 2000, 'bank', date('now','localtime','-1 month'), 'تحويل 88', 1),
 (901, NULL, 901, 2500, 'cash', date('now','localtime','-2 months'), 'إيصال 1002', 1),
 (903, NULL, 907, 1800, 'cash', date('now','localtime','-2 months'), 'إيصال 1003', 1),
 (902, NULL, 902, 2000, 'cheque', date('now','localtime','-3 months'), 'شيك 311', 1),
 (901, NULL, 901, 2500, 'cash', date('now','localtime','-4 months'), 'إيصال 977', 1);
INSERT INTO buyers (id, full_name, id_number, phone, balance) VALUES (901, 'ليلى منصور', '955555555', '0598765432', 400000);
INSERT INTO payments (buyer_id, unit_id, amount, payment_method, payment_date, currency_id, notes) VALUES
 (901, 904, 120000, 'bank', date('now','localtime','-5 months'), 1, 'دفعة مقدمة / بيع وحدة: B1');
UPDATE units SET buyer_id=901, sale_price_actual=520000, sale_date=date('now','localtime','-5 months') WHERE id=904;
INSERT INTO installments (buyer_id, unit_id, total_price, down_payment, installment_amount, due_date, paid_amount, status, cheque_number, bank_name, currency_id) VALUES
 (901, 904, 520000, 120000, 16666.67, date('now','localtime','-4 months'), 16666.67, 'paid', '7001', 'بنك فلسطين', 1),
 (901, 904, 520000, 120000, 16666.67, date('now','localtime','-3 months'), 5000, 'partial', '7002', 'بنك فلسطين', 1),
 (901, 904, 520000, 120000, 16666.67, date('now','localtime','-2 months'), 0, 'pending', '7003', 'بنك فلسطين', 1),
 (901, 904, 520000, 120000, 16666.67, date('now','localtime','-1 months'), 0, 'pending', '7004', 'بنك فلسطين', 1),
 (901, 904, 520000, 120000, 16666.67, date('now','localtime','+1 months'), 0, 'pending', '7005', 'بنك فلسطين', 1);
INSERT INTO cheques (cheque_number, type, amount, bank_name, issue_date, due_date, payer_name, status, currency_id, buyer_id) VALUES
 ('5001', 'received', 7500, 'بنك القدس', date('now','localtime','-10 days'), date('now','localtime','+3 days'), 'سامي الحداد', 'pending', 1, NULL),
 ('5002', 'received', 1200, 'بنك الأردن', date('now','localtime','-40 days'), date('now','localtime','-5 days'), 'ليلى منصور', 'paid', 2, 901),
 ('5003', 'issued', 3400, 'بنك فلسطين', date('now','localtime','-20 days'), date('now','localtime','-2 days'), 'شركة الإعمار', 'bounced', 1, NULL);
INSERT INTO maintenance_requests (unit_id, property_id, title, priority, status) VALUES
 (901, 901, 'تسرب مياه في المطبخ', 'high', 'new'), (902, 901, 'صيانة المصعد', 'medium', 'in_progress'), (907, 903, 'تغيير قفل الباب', 'low', 'completed');
INSERT INTO expenses (property_id, category, description, amount, expense_date, currency_id) VALUES
 (901, 'maintenance', 'دهان الواجهة', 4200, date('now','localtime','-20 days'), 1),
 (902, 'utilities', 'كهرباء الدرج', 650, date('now','localtime','-8 days'), 1);
INSERT INTO audit_logs (user_id, action, table_name, details, created_at) VALUES
 (1, 'إضافة دفعة', 'payments', 'إيصال 1041', datetime('now','-2 hours')),
 (1, 'بيع وحدة', 'units', 'B1', datetime('now','-1 day')),
 (1, 'إضافة عقد', 'contracts', 'A1', datetime('now','-2 days'));
